#ifndef PLOVIK_SIM_HANDLETABLE_H
#define PLOVIK_SIM_HANDLETABLE_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

namespace plovik::sim {

// A handle value never issued before in this process (never 0).
std::uintptr_t nextHandleValue();

// The objects behind the opaque handles given to callers. A handle is a number, never an address,
// and numbers are not reused, so a stale or made-up handle finds nothing instead of reaching freed
// memory. Lookups hand out shared ownership: an object removed while another thread uses it lives
// until that call returns.
template <typename T, typename Handle>
class HandleTable {
public:
    Handle insert(std::shared_ptr<T> object) {
        const std::uintptr_t value = nextHandleValue();
        std::lock_guard lock(mutex_);
        objects_.emplace(value, std::move(object));
        return toHandle(value);
    }

    std::shared_ptr<T> find(Handle handle) const {
        std::lock_guard lock(mutex_);
        const auto found = objects_.find(toValue(handle));
        return found == objects_.end() ? nullptr : found->second;
    }

    std::shared_ptr<T> take(Handle handle) {
        std::lock_guard lock(mutex_);
        const auto found = objects_.find(toValue(handle));
        if (found == objects_.end()) {
            return nullptr;
        }
        std::shared_ptr<T> object = std::move(found->second);
        objects_.erase(found);
        return object;
    }

    // Every entry, oldest first.
    std::vector<std::pair<Handle, std::shared_ptr<T>>> snapshot() const {
        std::lock_guard lock(mutex_);
        std::vector<std::pair<Handle, std::shared_ptr<T>>> entries;
        entries.reserve(objects_.size());
        for (const auto& [value, object] : objects_) {
            entries.emplace_back(toHandle(value), object);
        }
        return entries;
    }

private:
    static Handle toHandle(std::uintptr_t value) {
        if constexpr (std::is_pointer_v<Handle>) {
            return reinterpret_cast<Handle>(value);
        } else {
            return static_cast<Handle>(value);
        }
    }

    static std::uintptr_t toValue(Handle handle) {
        if constexpr (std::is_pointer_v<Handle>) {
            return reinterpret_cast<std::uintptr_t>(handle);
        } else {
            return static_cast<std::uintptr_t>(handle);
        }
    }

    mutable std::mutex mutex_;
    std::map<std::uintptr_t, std::shared_ptr<T>> objects_;  // in issue order
};

}  // namespace plovik::sim

#endif
