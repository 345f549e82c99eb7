#include "thumbs/jpegmetadata.h"

#include <array>
#include <cstring>

#include "photos/exifdatetaken.h"
#include "thumbs/exifdata.h"

namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kApp1 = 0xE1;
constexpr std::array<uint8_t, 6> kExifHeader = {'E', 'x', 'i', 'f', 0, 0};
// Enough for any real file's metadata; a hostile file of empty segments ends here.
constexpr int kMaxSegments = 4096;

// The frame headers SOF0 to SOF15, which are C0 to CF less DHT (C4), JPG (C8) and DAC (CC).
bool isFrameHeader(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, without a length: TEM and the restart markers.
bool standsAlone(uint8_t marker) {
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

uint16_t bigEndian16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

}  // namespace

std::optional<JpegMetadata> readJpegMetadata(ImageFile& file) {
    std::array<uint8_t, 2> start{};
    if (!file.read(0, start) || start[0] != kMarker || start[1] != kStartOfImage)
        return std::nullopt;
    JpegMetadata metadata;
    bool exifRead = false;
    uint64_t at = 2;
    for (int segment = 0; segment < kMaxSegments; ++segment) {
        std::array<uint8_t, 4> header{};
        if (!file.read(at, std::span(header).first(2)) || header[0] != kMarker)
            break;
        const uint8_t marker = header[1];
        if (marker == kMarker) {
            ++at;  // fill byte
            continue;
        }
        if (marker == kStartOfScan || marker == kEndOfImage)
            break;
        if (standsAlone(marker)) {
            at += 2;
            continue;
        }
        if (!file.read(at + 2, std::span(header).last(2)))
            break;
        const uint16_t length = bigEndian16(&header[2]);
        if (length < 2)
            break;
        if (isFrameHeader(marker)) {
            // Precision, then height and width.
            std::array<uint8_t, 5> frame{};
            if (length >= 2 + frame.size() && file.read(at + 4, frame))
                metadata.stored = {bigEndian16(&frame[3]), bigEndian16(&frame[1])};
            break;
        }
        if (marker == kApp1 && !exifRead && length >= 2 + kExifHeader.size()) {
            std::vector<uint8_t> payload(length - 2u);
            if (!file.read(at + 4, payload))
                break;
            if (std::memcmp(payload.data(), kExifHeader.data(), kExifHeader.size()) == 0) {
                exifRead = true;
                const ExifData exif = readExif(std::span(payload).subspan(kExifHeader.size()));
                metadata.orientation = exif.orientation;
                metadata.exifThumbnail.assign(exif.thumbnail.begin(), exif.thumbnail.end());
                metadata.dateTaken = exifDateTaken(std::span(payload).subspan(kExifHeader.size()));
            }
        }
        at += 2u + length;
    }
    return metadata;
}
