#ifndef PLOVIK_SIM_ENTRYCURSOR_H
#define PLOVIK_SIM_ENTRYCURSOR_H

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace plovik::sim {

// Texts handed out one at a time: the names of a listing, or the key/value texts of a file's
// information. A text stays valid until the cursor is destroyed, which outlasts the "until the
// next read" the callers are promised.
class EntryCursor {
public:
    // owner: the handle value of the connection the cursor belongs to (0 for none).
    EntryCursor(std::vector<std::string> texts, std::uintptr_t owner)
        : texts_(std::move(texts)), owner_(owner) {}

    std::uintptr_t owner() const { return owner_; }

    // The next text, or null after the last.
    char* next();

private:
    std::mutex mutex_;
    std::vector<std::string> texts_;
    std::size_t position_ = 0;
    std::uintptr_t owner_;
};

}  // namespace plovik::sim

#endif
