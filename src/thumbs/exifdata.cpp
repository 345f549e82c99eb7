#include "thumbs/exifdata.h"

#include <optional>

#include "thumbs/tiffreader.h"

namespace {

constexpr int kUpright = 1;
constexpr int kLastOrientation = 8;
constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kThumbnailOffsetTag = 0x0201;
constexpr uint16_t kThumbnailLengthTag = 0x0202;

int orientationIn(const TiffReader& reader, uint32_t directory) {
    const std::optional<uint32_t> count = reader.entryCount(directory);
    for (uint32_t i = 0; count && i < *count; ++i) {
        const std::optional<uint64_t> entry = reader.entry(directory, i);
        if (!entry)
            return kUpright;
        if (reader.entryTag(*entry) != kOrientationTag)
            continue;
        if (reader.entryType(*entry) != TiffReader::kShortType)
            return kUpright;
        const std::optional<uint32_t> value = reader.entryValue(*entry);
        return value && *value >= kUpright && *value <= kLastOrientation ? static_cast<int>(*value)
                                                                         : kUpright;
    }
    return kUpright;
}

std::span<const uint8_t> thumbnailIn(const TiffReader& reader, uint32_t directory) {
    std::optional<uint32_t> offset;
    std::optional<uint32_t> length;
    const std::optional<uint32_t> count = reader.entryCount(directory);
    for (uint32_t i = 0; count && i < *count; ++i) {
        const std::optional<uint64_t> entry = reader.entry(directory, i);
        if (!entry)
            break;
        if (reader.entryTag(*entry) == kThumbnailOffsetTag)
            offset = reader.entryValue(*entry);
        else if (reader.entryTag(*entry) == kThumbnailLengthTag)
            length = reader.entryValue(*entry);
    }
    if (!offset || !length || *length == 0 || !reader.holds(*offset, *length))
        return {};
    return reader.bytes().subspan(*offset, *length);
}

}  // namespace

ExifData readExif(std::span<const uint8_t> tiff) {
    TiffReader reader(tiff);
    if (!reader.readHeader())
        return {};
    const uint32_t first = reader.firstDirectory();
    ExifData exif;
    exif.orientation = orientationIn(reader, first);
    const std::optional<uint32_t> second = reader.nextDirectory(first);
    // A directory that points at itself or an earlier one would be read again.
    if (second && *second > first)
        exif.thumbnail = thumbnailIn(reader, *second);
    return exif;
}
