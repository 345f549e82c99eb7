#include "thumbs/videothumbnail.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "thumbs/memoryimagefile.h"
#include "thumbs/readaheadimagefile.h"
#include "thumbs/thumbnailreader.h"
#include "thumbs/videoorientation.h"

namespace {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

// A video sample written at build time.
Bytes videoSample(const std::string& name) {
    std::ifstream file(std::string(PLOVIK_VIDEO_SAMPLES) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

// Counts what a reader takes from the file, and may take its time over each read.
class CountedFile : public ImageFile {
public:
    explicit CountedFile(const Bytes& bytes, milliseconds delay = milliseconds(0))
        : file_(bytes), delay_(delay) {}

    uint64_t size() const override { return file_.size(); }
    bool read(uint64_t offset, std::span<uint8_t> into) override {
        std::this_thread::sleep_for(delay_);
        bytesRead += into.size();
        return file_.read(offset, into);
    }

    uint64_t bytesRead = 0;

private:
    MemoryImageFile file_;
    milliseconds delay_;
};

const uint8_t* pixelAt(const RgbaImage& image, int x, int y) {
    return &image.pixels[(static_cast<size_t>(y) * static_cast<size_t>(image.width) + x) * 4];
}

// The red marker drawLandscape puts in the upright picture's top left.
bool isRedAt(const RgbaImage& image, int x, int y) {
    const uint8_t* pixel = pixelAt(image, x, y);
    return pixel[0] > 170 && pixel[1] < 90 && pixel[2] < 90;
}

void expectUprightMarker(const RgbaImage& image) {
    EXPECT_TRUE(isRedAt(image, 2, 2));
    EXPECT_FALSE(isRedAt(image, image.width - 3, 2));
    EXPECT_FALSE(isRedAt(image, 2, image.height - 3));
    EXPECT_FALSE(isRedAt(image, image.width - 3, image.height - 3));
}

TEST(VideoThumbnail, PortraitPhoneVideoComesOutUprightWithItsSizeAndDuration) {
    // H.264, and HEVC as phones record by default.
    for (const char* name : {"portrait.mov", "portrait-hevc.mov"}) {
        const Bytes video = videoSample(name);
        ASSERT_TRUE(looksLikeVideo(video)) << name;
        CountedFile file(video);
        // As the creator reads it: through the read-ahead, told from pictures by its first bytes.
        const std::optional<Thumbnail> thumbnail = readThumbnail(file);
        ASSERT_TRUE(thumbnail) << name;
        EXPECT_EQ(thumbnail->source, (ImageSize{360, 640})) << name;
        EXPECT_EQ(thumbnail->image.width, 113) << name;
        EXPECT_EQ(thumbnail->image.height, 200) << name;
        expectUprightMarker(thumbnail->image);
        ASSERT_TRUE(thumbnail->duration) << name;
        EXPECT_NEAR(static_cast<double>(thumbnail->duration->count()), 2000, 50) << name;
    }
}

TEST(VideoThumbnail, ReadsTheIndexAndOneKeyframeWhereverTheIndexIs) {
    for (const char* name : {"index-at-start.mov", "index-at-end.mov"}) {
        const Bytes video = videoSample(name);
        ASSERT_GT(video.size(), 4'000'000u) << name;
        CountedFile file(video);
        const std::optional<Thumbnail> thumbnail = videoThumbnail(file);
        ASSERT_TRUE(thumbnail) << name;
        EXPECT_EQ(thumbnail->source, (ImageSize{640, 360})) << name;
        EXPECT_EQ(thumbnail->image.width, 200) << name;
        EXPECT_EQ(thumbnail->image.height, 113) << name;
        expectUprightMarker(thumbnail->image);
        EXPECT_NEAR(static_cast<double>(thumbnail->duration->count()), 10'000, 50) << name;
        // The index of ten seconds and a keyframe of about 90 kB, not the media around them.
        EXPECT_LT(file.bytesRead, 300'000u) << name;
    }
}

TEST(VideoThumbnail, CoverPictureTheFileNamesIsTheThumbnail) {
    const Bytes video = videoSample("cover.mp4");
    CountedFile file(video);
    const std::optional<Thumbnail> thumbnail = videoThumbnail(file);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->image.width, 160);
    EXPECT_EQ(thumbnail->image.height, 120);
    const uint8_t* middle = pixelAt(thumbnail->image, 80, 60);
    EXPECT_LT(middle[0], 40);
    EXPECT_GT(middle[1], 170);
    // The size is the video's, not the cover's.
    EXPECT_EQ(thumbnail->source, (ImageSize{320, 240}));
}

TEST(VideoThumbnail, TruncatedOrGarbageVideosGiveNothingWithinTheirLimits) {
    const Bytes whole = videoSample("index-at-end.mov");
    const VideoReadLimits limits;
    struct Case {
        const char* what;
        Bytes bytes;
    };
    std::vector<Case> cases;
    // Cut before its index, and a file of the index at the start cut inside its first frame.
    cases.push_back({"index cut off", Bytes(whole.begin(), whole.begin() + whole.size() / 2)});
    const Bytes atStart = videoSample("index-at-start.mov");
    cases.push_back({"index only", Bytes(atStart.begin(), atStart.begin() + 60'000)});
    // A file type box and then noise; boxes that claim far more than the file has.
    Bytes noise(1'000'000);
    uint32_t state = 2463534242u;
    for (uint8_t& byte : noise) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<uint8_t>(state);
    }
    Bytes typed = noise;
    std::copy_n(whole.begin(), 32, typed.begin());
    cases.push_back({"noise after the file type", typed});
    cases.push_back({"huge boxes", Bytes{0xFF, 0xFF, 0xFF, 0xF0, 'm', 'o', 'o', 'v',
                                        0x7F, 0xFF, 0xFF, 0xFF, 't', 'r', 'a', 'k'}});
    cases.push_back({"a large size", Bytes{0, 0, 0, 1, 'm', 'd', 'a', 't', 0xFF, 0xFF, 0xFF,
                                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 8}});
    cases.push_back({"empty", Bytes{}});
    for (const Case& c : cases) {
        CountedFile file(c.bytes);
        EXPECT_FALSE(videoThumbnail(file, limits)) << c.what;
        EXPECT_LE(file.bytesRead, limits.indexBytes + limits.frameBytes) << c.what;
    }
}

TEST(VideoThumbnail, DamagedVideosNeverCrashAndStayWithinTheirLimits) {
    const Bytes whole = videoSample("portrait.mov");
    const VideoReadLimits limits{200'000, 200'000, milliseconds(5'000)};
    uint32_t state = 88172645u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    // Bytes changed at random all over, many in the index at the end.
    for (int round = 0; round < 60; ++round) {
        Bytes damaged = whole;
        for (int change = 0; change < 1 + round % 8; ++change) {
            const size_t at = round % 2 == 0 ? next() % damaged.size()
                                             : damaged.size() - 1 - next() % 8'000;
            damaged[at] = static_cast<uint8_t>(next());
        }
        CountedFile file(damaged);
        const std::optional<Thumbnail> thumbnail = videoThumbnail(file, limits);
        EXPECT_LE(file.bytesRead, limits.indexBytes + limits.frameBytes) << round;
        EXPECT_TRUE(!thumbnail || thumbnail->image.isValid()) << round;
    }
}

TEST(VideoThumbnail, LimitsEndTheReadEarly) {
    const Bytes video = videoSample("index-at-end.mov");
    // A keyframe larger than what may be read after the index.
    CountedFile cramped(video);
    EXPECT_FALSE(videoThumbnail(cramped, VideoReadLimits{32 << 20, 20'000, milliseconds(5'000)}));
    // The index alone larger than its allowance.
    CountedFile small(video);
    EXPECT_FALSE(videoThumbnail(small, VideoReadLimits{10'000, 8 << 20, milliseconds(5'000)}));
    EXPECT_LE(small.bytesRead, 10'000u);
    // A device slow beyond the time limit: the reads after the first two are refused.
    CountedFile slow(video, milliseconds(300));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(videoThumbnail(slow, VideoReadLimits{32 << 20, 8 << 20, milliseconds(500)}));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

TEST(VideoThumbnail, ToldFromOtherFilesByTheirFirstBox) {
    for (const char* type : {"ftyp", "moov", "mdat", "wide", "free"}) {
        const Bytes start = {0, 0, 0, 8, static_cast<uint8_t>(type[0]),
                             static_cast<uint8_t>(type[1]), static_cast<uint8_t>(type[2]),
                             static_cast<uint8_t>(type[3])};
        EXPECT_TRUE(looksLikeVideo(start)) << type;
    }
    EXPECT_FALSE(looksLikeVideo(Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0, 0x10, 'E', 'x'}));
    EXPECT_FALSE(looksLikeVideo(Bytes{0, 0, 0, 8, 'f', 't', 'y'}));
}

TEST(VideoOrientation, QuarterTurnsAndMirroringsOfTheDisplayMatrix) {
    constexpr int32_t kOne = 1 << 16;
    constexpr int32_t kW = 1 << 30;
    struct Case {
        std::array<int32_t, 9> matrix;
        int orientation;
    };
    // A phone held upright, upside down, on its other side; mirrored ones; a slant; none.
    for (const Case& c : {
             Case{{kOne, 0, 0, 0, kOne, 0, 0, 0, kW}, 1},
             Case{{0, kOne, 0, -kOne, 0, 0, 1080 * kOne, 0, kW}, 6},
             Case{{-kOne, 0, 0, 0, -kOne, 0, 1920 * kOne, 1080 * kOne, kW}, 3},
             Case{{0, -kOne, 0, kOne, 0, 0, 0, 1920 * kOne, kW}, 8},
             Case{{-kOne, 0, 0, 0, kOne, 0, 0, 0, kW}, 2},
             Case{{kOne, 0, 0, 0, -kOne, 0, 0, 0, kW}, 4},
             Case{{0, kOne, 0, kOne, 0, 0, 0, 0, kW}, 5},
             Case{{0, -kOne, 0, -kOne, 0, 0, 0, 0, kW}, 7},
             Case{{46341, 46341, 0, -46341, 46341, 0, 0, 0, kW}, 1},
             Case{{0, 0, 0, 0, 0, 0, 0, 0, 0}, 1},
         })
        EXPECT_EQ(videoOrientation(c.matrix), c.orientation) << c.orientation;
}

}  // namespace
