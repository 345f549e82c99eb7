#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

/** Takes an input apart from its front: a byte, a count, a zero-terminated text, the rest. */
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : bytes_(data, size) {}

    /** The next byte; 0 once the input is used up. */
    uint8_t byte() {
        if (bytes_.empty())
            return 0;
        const uint8_t value = bytes_.front();
        bytes_ = bytes_.subspan(1);
        return value;
    }
    /** The text up to the next zero byte (which is dropped), or up to the end. */
    std::string text() {
        const auto end = std::find(bytes_.begin(), bytes_.end(), uint8_t{0});
        std::string taken(bytes_.begin(), end);
        bytes_ = bytes_.subspan(std::min(bytes_.size(), taken.size() + 1));
        return taken;
    }
    /** Up to count bytes. */
    std::span<const uint8_t> take(size_t count) {
        const auto taken = bytes_.first(std::min(count, bytes_.size()));
        bytes_ = bytes_.subspan(taken.size());
        return taken;
    }
    std::span<const uint8_t> rest() const { return bytes_; }
    bool empty() const { return bytes_.empty(); }

private:
    std::span<const uint8_t> bytes_;
};
