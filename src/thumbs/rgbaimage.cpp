#include "thumbs/rgbaimage.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <climits>
#include <memory>

namespace {

constexpr int kChannels = 4;

struct StbFree {
    void operator()(stbi_uc* pixels) const noexcept { stbi_image_free(pixels); }
};

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
    if (file.empty() || file.size() > INT_MAX)
        return std::nullopt;
    int width = 0;
    int height = 0;
    int channelsInFile = 0;
    const std::unique_ptr<stbi_uc, StbFree> pixels(stbi_load_from_memory(
        file.data(), static_cast<int>(file.size()), &width, &height, &channelsInFile, kChannels));
    if (!pixels)
        return std::nullopt;
    RgbaImage image{width, height, {}};
    image.pixels.assign(pixels.get(), pixels.get() + static_cast<size_t>(width) *
                                                         static_cast<size_t>(height) * kChannels);
    return image;
}
