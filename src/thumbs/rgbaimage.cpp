#include "thumbs/rgbaimage.h"

#include <stb/stb_image_write.h>

#include <climits>
#include <memory>

#include "thumbs/imagedecoder.h"

namespace {

constexpr int kChannels = 4;

void appendToVector(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

bool RgbaImage::isValid() const {
    return width > 0 && height > 0 && width <= INT_MAX / kChannels / height &&
           pixels.size() == static_cast<size_t>(width) * static_cast<size_t>(height) * kChannels;
}

std::optional<std::vector<uint8_t>> encodePng(const RgbaImage& image) {
    if (!image.isValid())
        return std::nullopt;
    std::vector<uint8_t> png;
    if (stbi_write_png_to_func(appendToVector, &png, image.width, image.height, kChannels,
                               image.pixels.data(), image.width * kChannels) == 0)
        return std::nullopt;
    return png;
}

std::optional<RgbaImage> decodeImage(std::span<const uint8_t> file) {
    const std::unique_ptr<ImageDecoder> decoder = imageDecoderFor(file);
    const std::optional<ImageSize> size = decoder->size();
    if (!size)
        return std::nullopt;
    return decoder->decode(*size);
}
