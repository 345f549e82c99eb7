// Completes the build-tree copy of the demo device with what is not kept in the repository:
// camera-roll photos drawn here (JPEG and HEIC, some stored sideways), a phone's video (encoded
// here, padded to 64 MiB so that copies of it take a while), the symbolic links of the root file
// system and the empty folders a device has.
//
// Usage: plovik-demo-generator <device folder>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "samplephotos.h"
#include "samplevideo.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPhotoWidth = 1280;
constexpr int kPhotoHeight = 960;
// The Exif thumbnail's and the HEIC thumbnail's longer side, as cameras and phones make them.
constexpr int kJpegPreviewSide = 160;
constexpr int kHeicThumbnailSide = 320;
constexpr std::uint64_t kVideoBytes = 64ull * 1024 * 1024;

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

// A phone's video taken upright: three seconds of a ball rolling across a landscape, stored
// sideways and turned by its display matrix, with sound, brought to a phone video's size.
bool writeVideo(const fs::path& path) {
    SampleVideoSpec video;
    video.width = 720;
    video.height = 1280;
    video.frames = 90;
    video.rotation = 90;
    video.audio = true;
    video.paddedSize = kVideoBytes;
    return writeSampleVideo(path, video);
}

bool writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty())
        return false;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
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
    // Photos 3 and 7 were taken upright, so they are stored sideways with their orientation.
    for (int photo = 0; photo < 4; ++photo) {
        const int orientation = photo == 2 ? 6 : 1;
        const SamplePicture upright = orientation == 6
                                          ? drawLandscape(kPhotoHeight, kPhotoWidth, photo)
                                          : drawLandscape(kPhotoWidth, kPhotoHeight, photo);
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.JPG", photo + 1);
        ok = ok && writeFile(camera / name,
                             cameraJpeg(storedForOrientation(upright, orientation), orientation,
                                        kJpegPreviewSide));
    }
    const std::vector<unsigned char> screenshot = drawScreenshot();
    ok = ok && stbi_write_png((camera / "IMG_0005.PNG").c_str(), 390, 844, 4, screenshot.data(),
                              390 * 4) != 0;
    ok = ok && writeVideo(camera / "IMG_0006.MOV");
    // The phone's photos carry the Exif it writes: when and where they were taken.
    const SamplePicture portrait = drawLandscape(kPhotoHeight, kPhotoWidth, 5);
    PhoneExif summer;
    summer.dateTaken = "2024:06:02 18:11:40";
    ok = ok && writeFile(camera / "IMG_0007.HEIC",
                         cameraHeic(storedForOrientation(portrait, 6), 6, kHeicThumbnailSide,
                                    phoneExifTiff(6, summer)));
    ok = ok && writeFile(camera / "IMG_0008.HEIC",
                         cameraHeic(drawLandscape(kPhotoWidth, kPhotoHeight, 6), 1,
                                    kHeicThumbnailSide, phoneExifTiff(1, PhoneExif{})));

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
