// Writes the video samples of the thumbnail tests into a folder at build time, so that the tests,
// and their runs under valgrind, never run a video encoder themselves.
//
// Usage: plovik-video-samples <folder>

#include <cstdio>
#include <filesystem>

#include "samplephotos.h"
#include "samplevideo.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);

    // A phone's video taken upright: stored sideways, turned by its display matrix, with sound.
    SampleVideoSpec portrait;
    portrait.width = 360;
    portrait.height = 640;
    portrait.frames = 60;
    portrait.rotation = 90;
    portrait.audio = true;
    bool ok = writeSampleVideo(folder / "portrait.mov", portrait);
    portrait.hevc = true;
    ok = ok && writeSampleVideo(folder / "portrait-hevc.mov", portrait);

    // Ten seconds at a phone's rate for its size, the index at either end.
    SampleVideoSpec landscape;
    landscape.frames = 300;
    landscape.bitRate = 4'000'000;
    landscape.repeatFirstSecond = true;
    landscape.audio = true;
    ok = ok && writeSampleVideo(folder / "index-at-end.mov", landscape);
    landscape.indexAtStart = true;
    ok = ok && writeSampleVideo(folder / "index-at-start.mov", landscape);

    // An MP4 that names a cover picture: plain green, unlike any frame.
    SampleVideoSpec covered;
    covered.width = 320;
    covered.height = 240;
    covered.frames = 30;
    covered.container = "mp4";
    covered.cover = {160, 120, std::vector<uint8_t>(160 * 120 * 3, 0)};
    for (size_t at = 1; at < covered.cover.rgb.size(); at += 3)
        covered.cover.rgb[at] = 200;
    ok = ok && writeSampleVideo(folder / "cover.mp4", covered);

    if (!ok) {
        std::fprintf(stderr, "%s: cannot write the samples into %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
