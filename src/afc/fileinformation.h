#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "values/zelbostring.h"

/**
 * The keys of a path's file information that the system reads ("st_ifmt", "st_size", "st_mtime",
 * "st_birthtime", "LinkTarget"), typed as AFCDirectory::fileInfo types them, in a few bytes: a
 * listed folder keeps one per entry. A key that is missing or whose value has the other type
 * reads as 0 or as no text; "st_ifmt" other than "S_IFDIR" and "S_IFLNK" is an ordinary file. A
 * link's target is a path, kept as text even when it is all digits (a link to "2023").
 */
class FileInformation {
public:
    enum class Type : uint8_t { File, Folder, SymbolicLink };

    /**
     * The decimal number that text spells with digits alone; nothing for other text or one too
     * large for 64 bits.
     */
    static std::optional<int64_t> numberIn(std::string_view text);

    /** Takes one pair as the device sent it (UTF-8); a later pair of a key replaces an earlier. */
    void take(std::string_view key, std::string_view value);

    Type type() const { return type_; }
    int64_t size() const { return size_; }
    /** Nanoseconds since 1970 UTC. */
    int64_t modificationTime() const { return modificationTime_; }
    int64_t creationTime() const { return creationTime_; }
    /** The target of a symbolic link as the device gave it; "" when there is none. */
    CZelboString linkTarget() const;

private:
    Type type_ = Type::File;
    int64_t size_ = 0;
    int64_t modificationTime_ = 0;
    int64_t creationTime_ = 0;
    std::u16string linkTarget_;
};
