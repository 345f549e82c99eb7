// Writes the HEIC samples of the thumbnail tests into a folder at build time, so that the tests,
// and their runs under valgrind, never run the HEVC encoder themselves.
//
// Usage: plovik-heic-samples <folder>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "samplephotos.h"

namespace {

bool write(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return !bytes.empty() && static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    // A phone's portrait: stored sideways, turned by its properties, with a thumbnail item.
    bool ok = write(folder / "portrait-thumbnail.heic",
                    cameraHeic(storedForOrientation(drawLandscape(1536, 2048, 3), 6), 6, 320));
    for (const int orientation : {1, 3, 8}) {
        const SamplePicture upright = drawLandscape(400, 300, orientation);
        ok = ok && write(folder / ("turned-" + std::to_string(orientation) + ".heic"),
                         cameraHeic(storedForOrientation(upright, orientation), orientation, 0));
    }
    ok = ok && write(folder / "small.heic", cameraHeic(drawLandscape(256, 192, 0), 1, 0));
    // Camera photos with a phone's thumbnail item, for the thumbnails made from parts of files.
    ok = ok && write(folder / "camera-3.heic", cameraHeic(drawLandscape(1200, 900, 3), 3, 320));
    ok = ok && write(folder / "camera-8.heic", cameraHeic(drawLandscape(2000, 1500, 4), 8, 320));
    // A portrait with the Exif a phone writes (date, place, camera), for the JPEG conversion.
    const std::vector<uint8_t> exif = phoneExifTiff(6, PhoneExif{});
    ok = ok && write(folder / "phone-portrait.heic",
                     cameraHeic(storedForOrientation(drawLandscape(300, 400, 7), 6), 6, 0, exif));
    if (!ok) {
        std::fprintf(stderr, "%s: cannot write the samples into %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
