#include "thumbs/thumbnailmaker.h"

#include <cstdlib>
#include <memory>
#include <utility>

#include "thumbs/boxfit.h"
#include "thumbs/boxresampler.h"
#include "thumbs/exiforientation.h"
#include "thumbs/imagedecoder.h"

std::optional<Thumbnail> makeThumbnail(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > kMaxThumbnailSourceBytes)
        return std::nullopt;
    const std::unique_ptr<ImageDecoder> decoder = imageDecoderFor(bytes);
    const std::optional<ImageSize> stored = decoder->size();
    if (!stored || stored->width < 1 || stored->height < 1 ||
        stored->width > kMaxThumbnailSourceSide || stored->height > kMaxThumbnailSourceSide ||
        int64_t{stored->width} * stored->height > kMaxThumbnailSourcePixels)
        return std::nullopt;
    const FittedSize fitted =
        fitIntoBox(stored->width, stored->height, kThumbnailBoxSide, kThumbnailBoxSide);
    std::optional<RgbaImage> decoded = decoder->decode({fitted.width, fitted.height});
    if (!decoded)
        return std::nullopt;
    // A decoder that scaled in decoding leaves the rest to the box filter; the fit is the
    // source's, whatever rounding the smaller size would give.
    std::optional<RgbaImage> thumbnail = std::move(decoded);
    if (FittedSize{thumbnail->width, thumbnail->height} != fitted)
        thumbnail = resampleBox(*thumbnail, fitted.width, fitted.height);
    if (!thumbnail)
        return std::nullopt;
    // Turned after shrinking, where it costs least; the box is square, so the fit is the same.
    const int orientation = exifOrientation(bytes);
    const ImageSize source =
        orientationTurnsSideways(orientation) ? ImageSize{stored->height, stored->width} : *stored;
    return Thumbnail{orientUpright(*thumbnail, orientation), source};
}

std::optional<RgbaImage> fitThumbnail(RgbaImage image) {
    const FittedSize fitted =
        fitIntoBox(image.width, image.height, kThumbnailBoxSide, kThumbnailBoxSide);
    if (fitted == FittedSize{image.width, image.height})
        return image;
    return resampleBox(image, fitted.width, fitted.height);
}

bool previewIsEnough(ImageSize preview, ImageSize picture) {
    if (preview.width < 1 || preview.height < 1 || picture.width < 1 || picture.height < 1)
        return false;
    // Products of two sides fit in 62 bits; their difference is compared without multiplying.
    const int64_t previewShape = int64_t{preview.width} * picture.height;
    const int64_t pictureShape = int64_t{preview.height} * picture.width;
    if (std::llabs(previewShape - pictureShape) > pictureShape / 100)
        return false;
    const FittedSize drawn = fitIntoBox(picture.width, picture.height, kLargestDrawnThumbnailSide,
                                        kLargestDrawnThumbnailSide);
    // A pixel less is rounding, not a smaller picture.
    return int64_t{preview.width} + 1 >= drawn.width && int64_t{preview.height} + 1 >= drawn.height;
}
