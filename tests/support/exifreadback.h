#pragma once

// Reading a written JPEG's Exif back, for tests that check what a conversion kept.

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "thumbs/tiffreader.h"

/** The TIFF data of the first Exif segment of a JPEG file; empty when it has none. */
inline std::vector<uint8_t> jpegExifTiff(std::span<const uint8_t> jpeg) {
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA) {
        const size_t length = size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
        if (jpeg[at + 1] == 0xE1 && length >= 8 && at + 2 + length <= jpeg.size() &&
            std::memcmp(&jpeg[at + 4], "Exif\0\0", 6) == 0)
            return {jpeg.begin() + static_cast<std::ptrdiff_t>(at + 10),
                    jpeg.begin() + static_cast<std::ptrdiff_t>(at + 2 + length)};
        at += 2 + length;
    }
    return {};
}

/** A directory's entry of this tag, searched through TiffReader. */
inline std::optional<uint64_t> tiffEntry(const TiffReader& reader, uint64_t directory,
                                         uint16_t tag) {
    const std::optional<uint32_t> count = reader.entryCount(directory);
    for (uint32_t i = 0; count && i < *count; ++i) {
        const std::optional<uint64_t> entry = reader.entry(directory, i);
        if (entry && reader.entryTag(*entry) == tag)
            return entry;
    }
    return std::nullopt;
}

/** The Orientation tag of the first directory; 0 when there is none. */
inline uint32_t tiffOrientation(std::span<const uint8_t> tiff) {
    TiffReader reader(tiff);
    if (!reader.readHeader())
        return 0;
    const auto entry = tiffEntry(reader, reader.firstDirectory(), 0x0112);
    return entry ? reader.entryValue(*entry).value_or(0) : 0;
}

/**
 * The GPS directory's latitude and longitude as stored: each reference letter, then the raw
 * bytes of its three rationals; empty when the directory or the tags are missing.
 */
inline std::string tiffGpsPosition(std::span<const uint8_t> tiff) {
    TiffReader reader(tiff);
    if (!reader.readHeader())
        return {};
    const auto pointer = tiffEntry(reader, reader.firstDirectory(), 0x8825);
    const auto gps = pointer ? reader.entryValue(*pointer) : std::nullopt;
    if (!gps)
        return {};
    std::string position;
    for (const uint16_t tag : {uint16_t{1}, uint16_t{2}, uint16_t{3}, uint16_t{4}}) {
        const auto entry = tiffEntry(reader, *gps, tag);
        const uint64_t size = tag % 2 == 1 ? 2 : 24;
        const auto at = entry ? reader.entryValueOffset(*entry, size) : std::nullopt;
        if (!at)
            return {};
        position.append(reinterpret_cast<const char*>(tiff.data() + *at), size);
    }
    return position;
}
