#include "photos/photodatetaken.h"

#include <array>

#include "photos/exifdatetaken.h"
#include "photos/heifexif.h"
#include "thumbs/heifthumbnail.h"
#include "thumbs/heifthumbnailitem.h"
#include "thumbs/jpegmetadata.h"

std::optional<std::string> photoDateTaken(ImageFile& file) {
    std::array<uint8_t, 12> start{};
    if (!file.read(0, start))
        return std::nullopt;
    if (start[0] == 0xFF && start[1] == 0xD8) {
        const std::optional<JpegMetadata> metadata = readJpegMetadata(file);
        return metadata ? metadata->dateTaken : std::nullopt;
    }
    if (!looksLikeHeif(start))
        return std::nullopt;
    const std::optional<std::vector<uint8_t>> exif = extractHeifExif(file);
    return exif ? exifDateTaken(tiffOfHeifExif(*exif)) : std::nullopt;
}
