#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

/**
 * The MobileDevice library of the process: a file name set at start-up, loaded on first use and
 * tried again at every later use while loading fails. Every entry point is looked up by name at
 * every call, so a library that lacks one still serves the others. Tests may install a resolver
 * instead of a library. Thread-safe.
 */
class MobileDeviceLibrary {
public:
    /** Maps an entry point's name to its address, or null when it has none. */
    using Resolver = std::function<void*(const char* name)>;

    static MobileDeviceLibrary& instance();

    /** The library file to load: a bare name for the system's search, or a path. */
    void setLibraryFile(std::string file);
    /** Replaces the library with resolver until it is cleared with an empty one. */
    void setResolver(Resolver resolver);

    /** The entry point's address, or null when the library or the entry point is missing. */
    void* entryPoint(const char* name);
    /** The reason of the last failed load, or "". */
    std::string loadError() const;

    MobileDeviceLibrary(const MobileDeviceLibrary&) = delete;
    MobileDeviceLibrary& operator=(const MobileDeviceLibrary&) = delete;

private:
    MobileDeviceLibrary() = default;

    mutable std::mutex mutex_;
    std::string file_;
    // Never unloaded: the library's own threads may still run while the process exits.
    void* handle_ = nullptr;
    std::string loadError_;
    // Entry points of the loaded library as found, missing ones as null: dlsym costs more than
    // the calls it serves, some of which come once for each listed entry.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };
    std::unordered_map<std::string, void*, NameHash, std::equal_to<>> found_;
    Resolver resolver_;
};
