#include "photos/heifexif.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array<uint8_t, 6> kExifHeader = {'E', 'x', 'i', 'f', 0, 0};

bool startsTiff(std::span<const uint8_t> bytes) {
    return bytes.size() >= 4 &&
           ((bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 42 && bytes[3] == 0) ||
            (bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && bytes[3] == 42));
}

}  // namespace

std::vector<uint8_t> tiffOfHeifExif(std::span<const uint8_t> item) {
    if (item.size() < 4)
        return {};
    const uint32_t offset = static_cast<uint32_t>(item[0]) << 24 |
                            static_cast<uint32_t>(item[1]) << 16 |
                            static_cast<uint32_t>(item[2]) << 8 | item[3];
    std::span<const uint8_t> rest = item.subspan(4);
    if (offset <= rest.size() && startsTiff(rest.subspan(offset)))
        rest = rest.subspan(offset);
    else if (rest.size() > kExifHeader.size() &&
             std::memcmp(rest.data(), kExifHeader.data(), kExifHeader.size()) == 0)
        rest = rest.subspan(kExifHeader.size());
    if (!startsTiff(rest))
        return {};
    return std::vector<uint8_t>(rest.begin(), rest.end());
}
