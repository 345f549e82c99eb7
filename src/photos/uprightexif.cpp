#include "photos/uprightexif.h"

#include "thumbs/tiffreader.h"

namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kUpright = 1;

void setUpright(const TiffReader& reader, std::vector<uint8_t>& copy, uint32_t directory) {
    const bool bigEndian = copy[0] == 'M';
    const std::optional<uint32_t> count = reader.entryCount(directory);
    for (uint32_t i = 0; count && i < *count; ++i) {
        const std::optional<uint64_t> entry = reader.entry(directory, i);
        if (!entry)
            return;
        if (reader.entryTag(*entry) != kOrientationTag ||
            reader.entryType(*entry) != TiffReader::kShortType || !reader.entryValue(*entry))
            continue;
        // A single SHORT sits in the first two bytes of the entry's value field.
        const size_t at = static_cast<size_t>(*entry) + 8;
        copy[at] = static_cast<uint8_t>(bigEndian ? 0 : kUpright);
        copy[at + 1] = static_cast<uint8_t>(bigEndian ? kUpright : 0);
    }
}

}  // namespace

std::optional<std::vector<uint8_t>> uprightExif(std::span<const uint8_t> tiff) {
    TiffReader reader(tiff);
    if (!reader.readHeader())
        return std::nullopt;
    std::vector<uint8_t> copy(tiff.begin(), tiff.end());
    const uint32_t first = reader.firstDirectory();
    setUpright(reader, copy, first);
    const std::optional<uint32_t> second = reader.nextDirectory(first);
    // A directory that points at itself or an earlier one would be read again.
    if (second && *second > first)
        setUpright(reader, copy, *second);
    return copy;
}
