// Completes the build-tree copy of the demo device with what is not kept in the repository:
// camera-roll pictures drawn here, a video-sized file of pseudo-random bytes, the symbolic links
// of the root file system and the empty folders a device has.
//
// Usage: plovik-demo-generator <device folder>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kPhotoWidth = 640;
constexpr int kPhotoHeight = 480;
constexpr std::uint64_t kVideoBytes = 64ull * 1024 * 1024;

// A picture in RGB: a sky-to-ground gradient with a sun, varied per seed so the thumbnails of
// the camera roll differ.
std::vector<unsigned char> drawLandscape(int seed) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(kPhotoWidth * kPhotoHeight * 3));
    const double sunX = kPhotoWidth * (0.2 + 0.15 * seed);
    const double sunY = kPhotoHeight * (0.25 + 0.05 * seed);
    const int horizon = kPhotoHeight * (55 + 5 * seed) / 100;
    for (int y = 0; y < kPhotoHeight; ++y) {
        for (int x = 0; x < kPhotoWidth; ++x) {
            unsigned char* pixel = &pixels[static_cast<std::size_t>((y * kPhotoWidth + x) * 3)];
            const double t = static_cast<double>(y) / kPhotoHeight;
            if (std::hypot(x - sunX, y - sunY) < 40.0) {
                pixel[0] = 255;
                pixel[1] = 214;
                pixel[2] = 80;
            } else if (y < horizon) {
                pixel[0] = static_cast<unsigned char>(80 + 120 * t);
                pixel[1] = static_cast<unsigned char>(140 + 80 * t);
                pixel[2] = static_cast<unsigned char>(235 - 30 * seed);
            } else {
                const bool stripe = ((x / (16 + 4 * seed)) + (y / 12)) % 2 == 0;
                pixel[0] = static_cast<unsigned char>(40 + 20 * seed);
                pixel[1] = static_cast<unsigned char>(stripe ? 150 : 120);
                pixel[2] = 60;
            }
        }
    }
    return pixels;
}

// A picture in RGBA, like a screenshot: a light background with a grid of coloured tiles.
std::vector<unsigned char> drawScreenshot() {
    constexpr int kWidth = 390;
    constexpr int kHeight = 844;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(kWidth * kHeight * 4), 245);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int column = (x - 27) / 88;
            const int row = (y - 80) / 100;
            const bool inTile = x >= 27 && y >= 80 && column < 4 && row < 6 && (x - 27) % 88 < 64 &&
                                (y - 80) % 100 < 64;
            unsigned char* pixel = &pixels[static_cast<std::size_t>((y * kWidth + x) * 4)];
            if (inTile) {
                pixel[0] = static_cast<unsigned char>(60 * column + 40);
                pixel[1] = static_cast<unsigned char>(30 * row + 60);
                pixel[2] = static_cast<unsigned char>(200 - 30 * column);
            }
            pixel[3] = 255;
        }
    }
    return pixels;
}

bool writeVideo(const fs::path& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    std::vector<std::uint64_t> block(128 * 1024);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (std::uint64_t written = 0; written < kVideoBytes && file;
         written += block.size() * sizeof block[0]) {
        for (std::uint64_t& word : block) {
            // xorshift64: fast, and the same bytes on every build.
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        file.write(reinterpret_cast<const char*>(block.data()),
                   static_cast<std::streamsize>(block.size() * sizeof block[0]));
    }
    return static_cast<bool>(file);
}

bool makeLink(const fs::path& link, const fs::path& target) {
    std::error_code error;
    fs::remove(link, error);
    fs::create_directory_symlink(target, link, error);
    return !error;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <device folder>\n", argv[0]);
        return 2;
    }
    const fs::path device = argv[1];
    const fs::path camera = device / "Media/DCIM/100APPLE";
    for (const fs::path& folder :
         {camera, device / "Media/Downloads", device / "Root/private/var/mobile/Media",
          device / "Root/private/var/tmp", device / "Root/Applications",
          device / "Apps/com.example.notes/Container/Library/Caches",
          device / "Apps/com.example.notes/Container/tmp",
          device / "Apps/com.example.sketchbook/Container/Library/Caches",
          device / "Apps/com.example.sketchbook/Container/tmp"}) {
        fs::create_directories(folder);
    }

    bool ok = true;
    for (int photo = 0; photo < 4; ++photo) {
        const std::vector<unsigned char> pixels = drawLandscape(photo);
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.JPG", photo + 1);
        ok = ok && stbi_write_jpg((camera / name).c_str(), kPhotoWidth, kPhotoHeight, 3,
                                  pixels.data(), 85) != 0;
    }
    const std::vector<unsigned char> screenshot = drawScreenshot();
    ok = ok && stbi_write_png((camera / "IMG_0005.PNG").c_str(), 390, 844, 4, screenshot.data(),
                              390 * 4) != 0;
    ok = ok && writeVideo(camera / "IMG_0006.MOV");

    // The root file system's links, as on a device: relative, so they stay inside the folder.
    ok = ok && makeLink(device / "Root/var", "private/var");
    ok = ok && makeLink(device / "Root/etc", "private/etc");
    ok = ok && makeLink(device / "Root/tmp", "private/var/tmp");

    if (!ok) {
        std::fprintf(stderr, "%s: cannot complete the demo device in %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
