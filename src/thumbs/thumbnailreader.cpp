#include "thumbs/thumbnailreader.h"

#include <array>
#include <vector>

#include "thumbs/exiforientation.h"
#include "thumbs/heifthumbnail.h"
#include "thumbs/jpegmetadata.h"
#include "thumbs/readaheadimagefile.h"
#include "thumbs/videothumbnail.h"

namespace {

// Enough for the file type box's size, type and major brand.
constexpr size_t kSniffedBytes = 12;

std::optional<Thumbnail> fromExifThumbnail(const JpegMetadata& jpeg) {
    if (jpeg.exifThumbnail.empty())
        return std::nullopt;
    const std::optional<Thumbnail> preview = makeThumbnail(jpeg.exifThumbnail);
    // The preview is stored the way the picture is; both are turned upright alike.
    if (!preview || !previewIsEnough(preview->source, jpeg.stored))
        return std::nullopt;
    const ImageSize source = orientationTurnsSideways(jpeg.orientation)
                                 ? ImageSize{jpeg.stored.height, jpeg.stored.width}
                                 : jpeg.stored;
    return Thumbnail{orientUpright(preview->image, jpeg.orientation), source};
}

}  // namespace

std::optional<Thumbnail> readThumbnail(ImageFile& file) {
    ReadAheadImageFile buffered(file);
    return readThumbnailDirectly(buffered);
}

std::optional<Thumbnail> readThumbnailDirectly(ImageFile& file) {
    std::array<uint8_t, kSniffedBytes> start{};
    if (file.size() >= start.size() && file.read(0, start)) {
        if (looksLikeHeif(start))
            return heifThumbnail(file);
        if (looksLikeVideo(start))
            return videoThumbnail(file);
    }
    if (const std::optional<JpegMetadata> jpeg = readJpegMetadata(file)) {
        if (std::optional<Thumbnail> preview = fromExifThumbnail(*jpeg))
            return preview;
    }
    if (file.size() == 0 || file.size() > kMaxThumbnailSourceBytes)
        return std::nullopt;
    std::vector<uint8_t> contents(static_cast<size_t>(file.size()));
    if (!file.read(0, contents))
        return std::nullopt;
    return makeThumbnail(contents);
}
