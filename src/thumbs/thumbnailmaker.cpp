#include "thumbs/thumbnailmaker.h"

#include <stb/stb_image.h>

#include <cstdlib>
#include <utility>

#include "thumbs/boxfit.h"
#include "thumbs/boxresampler.h"
#include "thumbs/exiforientation.h"

namespace {

uint32_t readLittleEndian(std::span<const uint8_t> bytes, size_t offset, size_t count) {
    uint32_t value = 0;
    for (size_t i = count; i-- > 0;)
        value = value << 8 | bytes[offset + i];
    return value;
}

/**
 * Whether the pixel rows a BMP header announces are all present. The decoder would read missing
 * rows as black. Other formats pass; their decoders notice missing data themselves.
 */
bool bmpRowsPresent(std::span<const uint8_t> file, int width, int height) {
    constexpr size_t kPixelOffsetAt = 10;
    constexpr size_t kHeaderSizeAt = 14;
    constexpr uint32_t kCoreHeaderSize = 12;
    constexpr size_t kCoreBitsPerPixelAt = 24;
    constexpr size_t kBitsPerPixelAt = 28;
    constexpr size_t kInfoHeaderEnd = 30;
    if (file.size() < 2 || file[0] != 'B' || file[1] != 'M')
        return true;
    if (file.size() < kInfoHeaderEnd)
        return false;
    const uint64_t pixelOffset = readLittleEndian(file, kPixelOffsetAt, 4);
    const uint32_t headerSize = readLittleEndian(file, kHeaderSizeAt, 4);
    const uint64_t bitsPerPixel = readLittleEndian(
        file, headerSize == kCoreHeaderSize ? kCoreBitsPerPixelAt : kBitsPerPixelAt, 2);
    // Rows are padded to 4 bytes; the last row's padding may be left out.
    const uint64_t rowBits = static_cast<uint64_t>(width) * bitsPerPixel;
    const uint64_t stride = (rowBits + 31) / 32 * 4;
    const uint64_t pixelBytes = stride * static_cast<uint64_t>(height - 1) + (rowBits + 7) / 8;
    return pixelOffset + pixelBytes <= file.size();
}

}  // namespace

std::optional<Thumbnail> makeThumbnail(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > kMaxThumbnailSourceBytes)
        return std::nullopt;
    const int length = static_cast<int>(bytes.size());
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info_from_memory(bytes.data(), length, &width, &height, &channels) == 0)
        return std::nullopt;
    // A BMP stored top row first reports a negative height.
    const long long rows = std::llabs(static_cast<long long>(height));
    if (width < 1 || rows < 1 || width > kMaxThumbnailSourceSide ||
        rows > kMaxThumbnailSourceSide || width * rows > kMaxThumbnailSourcePixels ||
        !bmpRowsPresent(bytes, width, static_cast<int>(rows)))
        return std::nullopt;

    stbi_convert_iphone_png_to_rgb_thread(1);
    std::optional<RgbaImage> decoded = decodeImage(bytes);
    if (!decoded)
        return std::nullopt;
    const ImageSize stored{decoded->width, decoded->height};
    const std::optional<RgbaImage> thumbnail = fitThumbnail(std::move(*decoded));
    if (!thumbnail)
        return std::nullopt;
    // Turned after shrinking, where it costs least; the box is square, so the fit is the same.
    const int orientation = exifOrientation(bytes);
    const ImageSize source =
        orientationTurnsSideways(orientation) ? ImageSize{stored.height, stored.width} : stored;
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
    const int64_t previewShape = int64_t{preview.width} * picture.height;
    const int64_t pictureShape = int64_t{preview.height} * picture.width;
    if (std::llabs(previewShape - pictureShape) * 100 > pictureShape)
        return false;
    const FittedSize drawn = fitIntoBox(picture.width, picture.height, kLargestDrawnThumbnailSide,
                                        kLargestDrawnThumbnailSide);
    // A pixel less is rounding, not a smaller picture.
    return preview.width + 1 >= drawn.width && preview.height + 1 >= drawn.height;
}
