#include "thumbs/thumbnailreader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "samplephotos.h"
#include "thumbs/exifdata.h"
#include "thumbs/heifthumbnail.h"
#include "thumbs/memoryimagefile.h"
#include "thumbs/prefetchedimagefile.h"
#include "thumbs/readaheadimagefile.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A HEIC sample written at build time.
Bytes heicSample(const std::string& name) {
    std::ifstream file(std::string(PLOVIK_HEIC_SAMPLES) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

// Counts what a reader takes from the file.
class CountedFile : public ImageFile {
public:
    explicit CountedFile(const Bytes& bytes) : file_(bytes) {}

    uint64_t size() const override { return file_.size(); }
    bool read(uint64_t offset, std::span<uint8_t> into) override {
        ++reads;
        bytesRead += into.size();
        return file_.read(offset, into);
    }

    int reads = 0;
    uint64_t bytesRead = 0;

private:
    MemoryImageFile file_;
};

// Whether the pixel at (x, y) is the red marker drawLandscape puts in the upright top left.
bool isRedAt(const RgbaImage& image, int x, int y) {
    const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(image.width) + x) * 4;
    return image.pixels[at] > 170 && image.pixels[at + 1] < 90 && image.pixels[at + 2] < 90;
}

void expectUprightMarker(const RgbaImage& image) {
    EXPECT_TRUE(isRedAt(image, 2, 2));
    EXPECT_FALSE(isRedAt(image, image.width - 3, 2));
    EXPECT_FALSE(isRedAt(image, 2, image.height - 3));
}

TEST(ReadAheadImageFile, ServesSmallReadsFromFewBlocksAndKeepsBytesExact) {
    Bytes bytes(3 * ReadAheadImageFile::kBlockSize + 100);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    CountedFile file(bytes);
    ReadAheadImageFile buffered(file);
    // Byte-sized reads across a block boundary and up to the end.
    for (uint64_t at = ReadAheadImageFile::kBlockSize - 50; at < bytes.size(); at += 7) {
        uint8_t byte = 0;
        ASSERT_TRUE(buffered.read(at, std::span(&byte, 1)));
        ASSERT_EQ(byte, bytes[at]) << at;
    }
    EXPECT_EQ(file.reads, 4);
    Bytes across(300);
    ASSERT_TRUE(buffered.read(2 * ReadAheadImageFile::kBlockSize - 150, across));
    EXPECT_TRUE(std::equal(across.begin(), across.end(),
                           bytes.begin() + 2 * ReadAheadImageFile::kBlockSize - 150));
    uint8_t past[2];
    EXPECT_FALSE(buffered.read(bytes.size() - 1, past));
    EXPECT_FALSE(buffered.read(bytes.size() + 1, std::span(past, 0)));
}

TEST(ThumbnailReader, JpegUsesAnExifPreviewThatServesAndReadsOnlyItsStart) {
    const SamplePicture upright = drawLandscape(1200, 1600, 1);
    const Bytes jpeg = cameraJpeg(storedForOrientation(upright, 6), 6, 160);
    ASSERT_GT(jpeg.size(), 2 * ReadAheadImageFile::kBlockSize);
    CountedFile file(jpeg);
    const std::optional<Thumbnail> thumbnail = readThumbnail(file);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->source, (ImageSize{1200, 1600}));
    EXPECT_EQ(thumbnail->image.width, 120);
    EXPECT_EQ(thumbnail->image.height, 160);
    expectUprightMarker(thumbnail->image);
    EXPECT_LE(file.bytesRead, ReadAheadImageFile::kBlockSize);
}

TEST(ThumbnailReader, JpegWithoutAServingPreviewIsDecodedWhole) {
    const SamplePicture picture = drawLandscape(800, 600, 2);
    struct Case {
        const char* what;
        Bytes jpeg;
    };
    // Too small for the largest drawing; with bars added to another shape; none at all.
    SamplePicture barred = shrinkPicture(picture, 160);
    barred.height = 90;
    barred.rgb.resize(static_cast<size_t>(160 * 90 * 3));
    const Bytes barredPreview = cameraJpeg(barred, 1, 0);
    for (const Case& c :
         {Case{"small", cameraJpeg(picture, 1, 80)}, Case{"none", cameraJpeg(picture, 1, 0)}}) {
        CountedFile file(c.jpeg);
        const std::optional<Thumbnail> thumbnail = readThumbnail(file);
        ASSERT_TRUE(thumbnail) << c.what;
        EXPECT_EQ(thumbnail->image.width, 200) << c.what;
        EXPECT_EQ(thumbnail->image.height, 150) << c.what;
        EXPECT_GE(file.bytesRead, c.jpeg.size()) << c.what;
    }
    EXPECT_FALSE(previewIsEnough({160, 90}, {800, 600}));
    EXPECT_FALSE(previewIsEnough({80, 60}, {800, 600}));
    EXPECT_TRUE(previewIsEnough({160, 120}, {4032, 3024}));
    EXPECT_TRUE(previewIsEnough({159, 120}, {4032, 3024}));
    EXPECT_TRUE(previewIsEnough({40, 30}, {40, 30}));
    EXPECT_FALSE(previewIsEnough({0, 0}, {40, 30}));
    // HEIF sizes reach INT32_MAX: neither the shapes' products nor a side plus one overflow.
    constexpr int32_t kMax = INT32_MAX;
    EXPECT_TRUE(previewIsEnough({kMax, kMax}, {kMax, kMax}));
    EXPECT_TRUE(previewIsEnough({kMax - 1, kMax}, {kMax, kMax}));
    EXPECT_FALSE(previewIsEnough({1640193507, 135520873}, {547756575, 253228485}));
    EXPECT_FALSE(previewIsEnough({kMax, 1}, {kMax, kMax}));
}

TEST(ExifData, ThumbnailOutsideTheSegmentIsNone) {
    // IFD0 with no entries, IFD1 with an offset and length past the data's end.
    Bytes tiff = {'I', 'I',  42,   0, 8, 0, 0,    0,    0, 0,  14, 0, 0, 0,    2,
                  0,   0x01, 0x02, 4, 0, 1, 0,    0,    0, 40, 0,  0, 0, 0x02, 0x02,
                  4,   0,    1,    0, 0, 0, 0xFF, 0xFF, 0, 0,  0,  0, 0, 0};
    EXPECT_TRUE(readExif(tiff).thumbnail.empty());
    tiff[36] = 4;
    tiff[37] = 0;
    EXPECT_EQ(readExif(tiff).thumbnail.size(), 4u);
    // A second directory that points back at the first is not followed.
    tiff[10] = 8;
    EXPECT_TRUE(readExif(tiff).thumbnail.empty());
}

TEST(ThumbnailReader, HeicUsesItsThumbnailUprightAndReadsLittleOfTheFile) {
    const Bytes heic = heicSample("portrait-thumbnail.heic");
    ASSERT_FALSE(heic.empty());
    ASSERT_TRUE(looksLikeHeif(std::span(heic).first(12)));
    CountedFile file(heic);
    const std::optional<Thumbnail> thumbnail = readThumbnail(file);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->source, (ImageSize{1536, 2048}));
    EXPECT_EQ(thumbnail->image.width, 150);
    EXPECT_EQ(thumbnail->image.height, 200);
    expectUprightMarker(thumbnail->image);
    EXPECT_LT(file.bytesRead, heic.size() / 2);
}

TEST(PrefetchedImageFile, PartsJoinAndTheFirstReadOutsideThemIsTheMiss) {
    Bytes bytes(1000);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    const auto part = [&](size_t offset, size_t length) {
        return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                     bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
    };
    PrefetchedImageFile file(bytes.size());
    file.addPart(100, part(100, 50));
    file.addPart(300, part(300, 100));
    // Overlapping both and bridging the gap: one part from 120 to 400.
    file.addPart(120, part(120, 200));
    Bytes read(280);
    ASSERT_TRUE(file.read(120, read));
    EXPECT_EQ(read, part(120, 280));
    Bytes across(120);
    ASSERT_TRUE(file.read(100, across));
    EXPECT_EQ(across, part(100, 120));
    // Past the end is the file's end, not a miss.
    EXPECT_FALSE(file.read(990, read));
    EXPECT_FALSE(file.miss());
    EXPECT_FALSE(file.read(390, std::span(read).first(20)));
    EXPECT_EQ(file.miss()->offset, 390u);
    EXPECT_EQ(file.miss()->length, 20u);
    // Every read after a miss fails, until the part missed is added.
    EXPECT_FALSE(file.read(100, std::span(read).first(10)));
    file.addPart(400, part(400, 20));
    EXPECT_FALSE(file.miss());
    ASSERT_TRUE(file.read(390, std::span(read).first(20)));
    EXPECT_EQ(Bytes(read.begin(), read.begin() + 20), part(390, 20));
}

TEST(ThumbnailReader, PartsReadForEachMissMakeTheThumbnailOfTheWholeFile) {
    const SamplePicture picture = drawLandscape(1200, 900, 3);
    for (const Bytes& photo : {cameraJpeg(picture, 6, 160), heicSample("camera-3.heic"),
                               heicSample("portrait-thumbnail.heic")}) {
        if (photo.empty())
            continue;  // no HEVC encoder
        MemoryImageFile whole(photo);
        const std::optional<Thumbnail> expected = readThumbnail(whole);
        ASSERT_TRUE(expected);
        PrefetchedImageFile file(photo.size());
        file.addPart(0, Bytes(photo.begin(), photo.begin() + 4096));
        std::optional<Thumbnail> made = readThumbnailDirectly(file);
        size_t partsRead = 1;
        uint64_t bytesRead = 4096;
        for (; file.miss() && partsRead < 5; ++partsRead) {
            const auto [offset, length] = *file.miss();
            bytesRead += length;
            file.addPart(offset,
                         Bytes(photo.begin() + static_cast<std::ptrdiff_t>(offset),
                               photo.begin() + static_cast<std::ptrdiff_t>(offset + length)));
            made = readThumbnailDirectly(file);
        }
        EXPECT_FALSE(file.miss());
        ASSERT_TRUE(made);
        EXPECT_EQ(made->source, expected->source);
        EXPECT_EQ(made->image.pixels, expected->image.pixels);
        EXPECT_LT(bytesRead, photo.size() / 4);
    }
}

TEST(ThumbnailReader, HeicWithoutAThumbnailIsDecodedUpright) {
    for (const int orientation : {1, 3, 8}) {
        const Bytes heic = heicSample("turned-" + std::to_string(orientation) + ".heic");
        MemoryImageFile file(heic);
        const std::optional<Thumbnail> thumbnail = readThumbnail(file);
        ASSERT_TRUE(thumbnail) << orientation;
        EXPECT_EQ(thumbnail->source, (ImageSize{400, 300})) << orientation;
        EXPECT_EQ(thumbnail->image.width, 200);
        expectUprightMarker(thumbnail->image);
    }
}

TEST(ThumbnailReader, DamagedHeicAndJpegGiveNothing) {
    const Bytes heic = heicSample("small.heic");
    ASSERT_FALSE(heic.empty());
    for (const size_t kept : {size_t{12}, size_t{100}, heic.size() / 2, heic.size() - 1}) {
        const Bytes cut(heic.begin(), heic.begin() + static_cast<long>(kept));
        MemoryImageFile file(cut);
        EXPECT_FALSE(readThumbnail(file)) << kept;
    }
    Bytes scrambled = heic;
    for (size_t at = 40; at < scrambled.size(); at += 13)
        scrambled[at] ^= 0x5A;
    MemoryImageFile scrambledFile(scrambled);
    readThumbnail(scrambledFile);  // must not crash; may or may not decode

    const Bytes jpeg = cameraJpeg(drawLandscape(400, 300, 1), 1, 160);
    const Bytes cut(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2));
    MemoryImageFile cutFile(cut);
    // The preview lies in the part kept; the frame header too, so the preview serves.
    EXPECT_TRUE(readThumbnail(cutFile));
    const Bytes headerOnly(jpeg.begin(), jpeg.begin() + 30);
    MemoryImageFile headerFile(headerOnly);
    EXPECT_FALSE(readThumbnail(headerFile));
}

}  // namespace
