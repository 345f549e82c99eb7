// Opaque handles for objects shared with callers. A handle is a number, never a pointer, and is
// never issued twice in a process (one counter across all registries), so a handle that outlived
// its object, or a handle of another kind, is found to be unknown instead of being dereferenced.
// Lookups hand out shared ownership: an object stays alive while a call uses it, even when another
// thread removes its handle at the same time.
#ifndef PLOVIK_USBMUX_HANDLEREGISTRY_H
#define PLOVIK_USBMUX_HANDLEREGISTRY_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace plovik::usbmux {

class HandleCounter {
protected:
    static std::uintptr_t next() {
        static std::atomic<std::uintptr_t> counter{0};
        return ++counter;
    }
};

template <typename T>
class HandleRegistry : private HandleCounter {
public:
    std::uintptr_t add(std::shared_ptr<T> object) {
        const std::uintptr_t handle = next();
        std::lock_guard lock(mutex_);
        objects_.emplace(handle, std::move(object));
        return handle;
    }

    std::shared_ptr<T> find(std::uintptr_t handle) const {
        std::lock_guard lock(mutex_);
        const auto found = objects_.find(handle);
        return found == objects_.end() ? nullptr : found->second;
    }

    std::shared_ptr<T> remove(std::uintptr_t handle) {
        std::lock_guard lock(mutex_);
        const auto found = objects_.find(handle);
        if (found == objects_.end()) {
            return nullptr;
        }
        std::shared_ptr<T> object = std::move(found->second);
        objects_.erase(found);
        return object;
    }

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::uintptr_t, std::shared_ptr<T>> objects_;
};

}  // namespace plovik::usbmux

#endif
