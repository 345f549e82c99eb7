#include "thumbs/exiforientation.h"

#include <cstddef>
#include <cstring>
#include <optional>

#include "thumbs/jpegmetadata.h"
#include "thumbs/memoryimagefile.h"

namespace {

constexpr int kUpright = 1;
constexpr int kLastOrientation = 8;
constexpr size_t kChannels = 4;

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
    MemoryImageFile file(jpeg);
    const std::optional<JpegMetadata> metadata = readJpegMetadata(file);
    return metadata ? metadata->orientation : kUpright;
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
