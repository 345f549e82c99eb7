#include "photos/exifdatetaken.h"

#include <cctype>

#include "thumbs/tiffreader.h"

namespace {

constexpr uint16_t kExifDirectoryTag = 0x8769;
constexpr uint16_t kDateTimeOriginalTag = 0x9003;
constexpr uint16_t kAsciiType = 2;
// "YYYY:MM:DD HH:MM:SS" and its terminating zero.
constexpr uint32_t kDateLength = 20;

std::optional<uint64_t> findEntry(const TiffReader& reader, uint64_t directory, uint16_t tag) {
    const std::optional<uint32_t> count = reader.entryCount(directory);
    for (uint32_t i = 0; count && i < *count; ++i) {
        const std::optional<uint64_t> entry = reader.entry(directory, i);
        if (!entry)
            return std::nullopt;
        if (reader.entryTag(*entry) == tag)
            return entry;
    }
    return std::nullopt;
}

bool isDate(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char expected = i == 4 || i == 7 || i == 13 || i == 16 ? ':' : i == 10 ? ' ' : '0';
        if (expected == '0' ? !std::isdigit(static_cast<unsigned char>(text[i]))
                            : text[i] != expected)
            return false;
    }
    return text.size() == kDateLength - 1;
}

}  // namespace

std::optional<std::string> exifDateTaken(std::span<const uint8_t> tiff) {
    TiffReader reader(tiff);
    if (!reader.readHeader())
        return std::nullopt;
    const std::optional<uint64_t> pointer =
        findEntry(reader, reader.firstDirectory(), kExifDirectoryTag);
    const std::optional<uint32_t> exifDirectory =
        pointer ? reader.entryValue(*pointer) : std::nullopt;
    const std::optional<uint64_t> date =
        exifDirectory ? findEntry(reader, *exifDirectory, kDateTimeOriginalTag) : std::nullopt;
    if (!date || reader.entryType(*date) != kAsciiType ||
        reader.entryValueCount(*date) < kDateLength - 1)
        return std::nullopt;
    const std::optional<uint64_t> at = reader.entryValueOffset(*date, kDateLength - 1);
    if (!at)
        return std::nullopt;
    const std::span<const uint8_t> bytes = tiff.subspan(*at, kDateLength - 1);
    std::string text(bytes.begin(), bytes.end());
    return isDate(text) ? std::optional(text) : std::nullopt;
}
