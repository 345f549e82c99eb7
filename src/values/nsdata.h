#pragma once

#include <cstdint>

#include "values/object.h"

namespace ZelboLib {

/** A growable byte buffer, for UTF-8 text and file data. Empty at construction. */
class NSData : public Object {
public:
    NSData() = default;
    ~NSData() override;

    /**
     * Appends n bytes, growing the block to exactly the new length when it has no room. False,
     * with the earlier contents kept, when it cannot grow (memory, or the 32-bit length limit).
     */
    bool appendBytes(const void* src, uint32_t n);
    /** Appends the text as UTF-8, without a terminating zero byte. */
    bool appendUtf8(const CZelboString& text);
    /** Appends the text as UTF-8 and a terminating zero byte (for device paths). */
    bool appendUtf8WithNul(const CZelboString& text);

    const uint8_t* bytes() const { return bytes_; }
    uint32_t length() const { return length_; }

private:
    uint8_t* bytes_ = nullptr;
    uint32_t length_ = 0;
    uint32_t capacity_ = 0;
};

}  // namespace ZelboLib
