#include "thumbs/exiforientation.h"

#include <array>
#include <cstddef>
#include <cstring>

namespace {

constexpr int kUpright = 1;
constexpr int kLastOrientation = 8;
constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kApp1 = 0xE1;
constexpr std::array<uint8_t, 6> kExifHeader = {'E', 'x', 'i', 'f', 0, 0};
constexpr uint16_t kTiffMagic = 42;
constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kShortType = 3;
constexpr size_t kIfdEntrySize = 12;
constexpr size_t kChannels = 4;

/** Reads the TIFF structure inside an Exif segment in its own byte order, bounds-checked. */
class TiffReader {
public:
    explicit TiffReader(std::span<const uint8_t> tiff) : m_tiff(tiff) {}

    // Sets the byte order from the header; false when the header is not a TIFF one.
    bool readByteOrder() {
        if (m_tiff.size() < 8)
            return false;
        if (m_tiff[0] == 'I' && m_tiff[1] == 'I')
            m_bigEndian = false;
        else if (m_tiff[0] == 'M' && m_tiff[1] == 'M')
            m_bigEndian = true;
        else
            return false;
        return read(2, 2) == kTiffMagic;
    }

    bool holds(uint64_t offset, uint64_t count) const {
        return offset <= m_tiff.size() && count <= m_tiff.size() - offset;
    }

    // The unsigned value of count bytes at offset, which the caller has checked with holds().
    uint32_t read(uint64_t offset, size_t count) const {
        uint32_t value = 0;
        for (size_t i = 0; i < count; ++i) {
            const size_t at = static_cast<size_t>(offset) + (m_bigEndian ? i : count - 1 - i);
            value = value << 8 | m_tiff[at];
        }
        return value;
    }

private:
    std::span<const uint8_t> m_tiff;
    bool m_bigEndian = false;
};

int orientationInTiff(std::span<const uint8_t> tiff) {
    TiffReader reader(tiff);
    if (!reader.readByteOrder())
        return kUpright;
    const uint64_t ifd = reader.read(4, 4);
    if (!reader.holds(ifd, 2))
        return kUpright;
    const uint32_t entries = reader.read(ifd, 2);
    for (uint32_t i = 0; i < entries; ++i) {
        const uint64_t entry = ifd + 2 + uint64_t{i} * kIfdEntrySize;
        // A count that claims more entries than the segment holds ends at the segment's end.
        if (!reader.holds(entry, kIfdEntrySize))
            return kUpright;
        if (reader.read(entry, 2) != kOrientationTag)
            continue;
        if (reader.read(entry + 2, 2) != kShortType || reader.read(entry + 4, 4) != 1)
            return kUpright;
        const uint32_t value = reader.read(entry + 8, 2);
        return value >= kUpright && value <= kLastOrientation ? static_cast<int>(value) : kUpright;
    }
    return kUpright;
}

// Where a pixel at (x, y) of a width × height image goes when turned upright.
struct Position {
    size_t x = 0;
    size_t y = 0;
};

Position uprightPosition(int orientation, size_t x, size_t y, size_t width, size_t height) {
    switch (orientation) {
        case 2:
            return {width - 1 - x, y};
        case 3:
            return {width - 1 - x, height - 1 - y};
        case 4:
            return {x, height - 1 - y};
        case 5:
            return {y, x};
        case 6:
            return {height - 1 - y, x};
        case 7:
            return {height - 1 - y, width - 1 - x};
        case 8:
            return {y, width - 1 - x};
        default:
            return {x, y};
    }
}

}  // namespace

int exifOrientation(std::span<const uint8_t> jpeg) {
    if (jpeg.size() < 2 || jpeg[0] != kMarker || jpeg[1] != kStartOfImage)
        return kUpright;
    size_t at = 2;
    // Metadata segments come before the first scan; each is a marker and a 2-byte big-endian
    // length that counts itself.
    while (at + 4 <= jpeg.size()) {
        if (jpeg[at] != kMarker)
            return kUpright;
        const uint8_t marker = jpeg[at + 1];
        if (marker == kMarker) {
            ++at;  // fill byte
            continue;
        }
        if (marker == kStartOfScan || marker == kEndOfImage)
            return kUpright;
        const size_t length = size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
        if (length < 2 || length > jpeg.size() - at - 2)
            return kUpright;
        const std::span<const uint8_t> payload = jpeg.subspan(at + 4, length - 2);
        if (marker == kApp1 && payload.size() >= kExifHeader.size() &&
            std::memcmp(payload.data(), kExifHeader.data(), kExifHeader.size()) == 0)
            return orientationInTiff(payload.subspan(kExifHeader.size()));
        at += 2 + length;
    }
    return kUpright;
}

bool orientationTurnsSideways(int orientation) {
    return orientation >= 5 && orientation <= kLastOrientation;
}

RgbaImage orientUpright(const RgbaImage& image, int orientation) {
    if (orientation <= kUpright || orientation > kLastOrientation || !image.isValid())
        return image;
    const bool sideways = orientationTurnsSideways(orientation);
    const auto width = static_cast<size_t>(image.width);
    const auto height = static_cast<size_t>(image.height);
    const size_t uprightWidth = sideways ? height : width;
    RgbaImage upright{sideways ? image.height : image.width, sideways ? image.width : image.height,
                      std::vector<uint8_t>(image.pixels.size())};
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            const Position to = uprightPosition(orientation, x, y, width, height);
            std::memcpy(&upright.pixels[(to.y * uprightWidth + to.x) * kChannels],
                        &image.pixels[(y * width + x) * kChannels], kChannels);
        }
    }
    return upright;
}
