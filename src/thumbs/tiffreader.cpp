#include "thumbs/tiffreader.h"

namespace {

constexpr uint16_t kTiffMagic = 42;

}  // namespace

bool TiffReader::readHeader() {
    if (tiff_.size() < 8)
        return false;
    if (tiff_[0] == 'I' && tiff_[1] == 'I')
        bigEndian_ = false;
    else if (tiff_[0] == 'M' && tiff_[1] == 'M')
        bigEndian_ = true;
    else
        return false;
    return read(2, 2) == kTiffMagic;
}

std::optional<uint32_t> TiffReader::entryCount(uint64_t directory) const {
    if (!holds(directory, 2))
        return std::nullopt;
    return read(directory, 2);
}

std::optional<uint64_t> TiffReader::entry(uint64_t directory, uint32_t index) const {
    const uint64_t at = directory + 2 + uint64_t{index} * kIfdEntrySize;
    if (!holds(at, kIfdEntrySize))
        return std::nullopt;
    return at;
}

std::optional<uint32_t> TiffReader::entryValue(uint64_t entry) const {
    if (entryValueCount(entry) != 1)
        return std::nullopt;
    switch (entryType(entry)) {
        case kShortType:
            return read(entry + 8, 2);
        case kLongType:
            return read(entry + 8, 4);
        default:
            return std::nullopt;
    }
}

std::optional<uint32_t> TiffReader::nextDirectory(uint64_t directory) const {
    const std::optional<uint32_t> count = entryCount(directory);
    if (!count)
        return std::nullopt;
    const uint64_t at = directory + 2 + uint64_t{*count} * kIfdEntrySize;
    if (!holds(at, 4))
        return std::nullopt;
    return read(at, 4);
}

uint32_t TiffReader::read(uint64_t offset, size_t count) const {
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = static_cast<size_t>(offset) + (bigEndian_ ? i : count - 1 - i);
        value = value << 8 | tiff_[at];
    }
    return value;
}
