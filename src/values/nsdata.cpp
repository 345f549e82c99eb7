#include "values/nsdata.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace ZelboLib {

NSData::~NSData() {
    std::free(bytes_);
}

bool NSData::appendBytes(const void* src, uint32_t n) {
    if (n == 0)
        return true;
    if (n > std::numeric_limits<uint32_t>::max() - length_)
        return false;
    const uint32_t needed = length_ + n;
    if (needed > capacity_) {
        auto* grown = static_cast<uint8_t*>(std::realloc(bytes_, needed));
        if (grown == nullptr)
            return false;
        bytes_ = grown;
        capacity_ = needed;
    }
    std::memcpy(bytes_ + length_, src, n);
    length_ = needed;
    return true;
}

bool NSData::appendUtf8(const CZelboString& text) {
    const std::string utf8 = text.toUtf8();
    if (utf8.size() > std::numeric_limits<uint32_t>::max())
        return false;
    return appendBytes(utf8.data(), static_cast<uint32_t>(utf8.size()));
}

bool NSData::appendUtf8WithNul(const CZelboString& text) {
    const std::string utf8 = text.toUtf8();
    if (utf8.size() >= std::numeric_limits<uint32_t>::max())
        return false;
    return appendBytes(utf8.c_str(), static_cast<uint32_t>(utf8.size() + 1));
}

}  // namespace ZelboLib
