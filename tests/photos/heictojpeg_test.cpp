// HEIC photos converted to JPEG: upright pixels, the Exif kept with its orientation reset, and
// files that are no photo refused without harm.

#include "photos/heictojpeg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "photos/exifdatetaken.h"
#include "photos/photodatetaken.h"
#include "photos/uprightexif.h"
#include "samplephotos.h"
#include "support/exifreadback.h"
#include "thumbs/jpegmetadata.h"
#include "thumbs/memoryimagefile.h"
#include "thumbs/rgbaimage.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes heicSample(const std::string& name) {
    std::ifstream file(std::string(PLOVIK_HEIC_SAMPLES) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

bool isRedAt(const RgbaImage& image, int x, int y) {
    const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(image.width) + x) * 4;
    return image.pixels[at] > 170 && image.pixels[at + 1] < 90 && image.pixels[at + 2] < 90;
}

TEST(HeicToJpeg, APortraitStoredSidewaysBecomesAnUprightJpegWithItsExifDateAndPlace) {
    const Bytes heic = heicSample("phone-portrait.heic");
    ASSERT_FALSE(heic.empty());
    const HeicToJpegResult result = convertHeicToJpeg(heic);
    ASSERT_TRUE(result.failure.isEmpty()) << result.failure.toUtf8();

    // Read back as any viewer would: the pixels stand upright, red marker top left.
    const std::optional<RgbaImage> image = decodeImage(result.jpeg);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 300);
    EXPECT_EQ(image->height, 400);
    EXPECT_TRUE(isRedAt(*image, 5, 5));
    EXPECT_FALSE(isRedAt(*image, image->width - 6, 5));
    EXPECT_FALSE(isRedAt(*image, 5, image->height - 6));

    MemoryImageFile file(result.jpeg);
    const std::optional<JpegMetadata> metadata = readJpegMetadata(file);
    ASSERT_TRUE(metadata);
    EXPECT_EQ(metadata->orientation, 1);
    const Bytes written = jpegExifTiff(result.jpeg);
    const Bytes original = phoneExifTiff(6, PhoneExif{});
    EXPECT_EQ(tiffOrientation(written), 1u);
    EXPECT_EQ(exifDateTaken(written), std::optional<std::string>("2024:07:14 09:30:05"));
    EXPECT_EQ(exifDateTaken(written), exifDateTaken(original));
    EXPECT_FALSE(tiffGpsPosition(original).empty());
    EXPECT_EQ(tiffGpsPosition(written), tiffGpsPosition(original));
    EXPECT_NE(std::string(written.begin(), written.end()).find("iPhone 15"), std::string::npos);
}

TEST(PhotoDateTaken, ComesFromTheExifOfAHeicOrAJpegAndNothingElse) {
    const Bytes heic = heicSample("phone-portrait.heic");
    ASSERT_FALSE(heic.empty());
    MemoryImageFile heicFile(heic);
    EXPECT_EQ(photoDateTaken(heicFile), std::optional<std::string>("2024:07:14 09:30:05"));
    const Bytes jpeg = convertHeicToJpeg(heic).jpeg;
    MemoryImageFile jpegFile(jpeg);
    EXPECT_EQ(photoDateTaken(jpegFile), std::optional<std::string>("2024:07:14 09:30:05"));
    // A camera's JPEG whose Exif has no date, a HEIC without Exif, and no photo at all.
    const Bytes undated = cameraJpeg(drawLandscape(64, 48, 0), 1, 0);
    MemoryImageFile undatedFile(undated);
    EXPECT_FALSE(photoDateTaken(undatedFile));
    const Bytes plainHeic = heicSample("small.heic");
    MemoryImageFile plainFile(plainHeic);
    EXPECT_FALSE(photoDateTaken(plainFile));
    const Bytes text(64, 'x');
    MemoryImageFile textFile(text);
    EXPECT_FALSE(photoDateTaken(textFile));
}

TEST(HeicToJpeg, WhatIsNoReadableHeifIsRefusedWithAReason) {
    const Bytes heic = heicSample("phone-portrait.heic");
    ASSERT_FALSE(heic.empty());
    Bytes flipped = heic;
    for (size_t at = heic.size() / 2; at < heic.size(); at += 97)
        flipped[at] ^= 0x5A;
    for (const Bytes& bytes : {Bytes{}, Bytes(heic.begin(), heic.begin() + heic.size() / 3),
                               Bytes(4096, 0xFF), flipped}) {
        const HeicToJpegResult result = convertHeicToJpeg(bytes);
        // A damaged picture may still decode into something; it must never pass as nothing.
        EXPECT_NE(result.jpeg.empty(), result.failure.isEmpty());
    }
    EXPECT_FALSE(convertHeicToJpeg(Bytes(4096, 0xFF)).failure.isEmpty());
    EXPECT_FALSE(convertHeicToJpeg(Bytes(heic.begin(), heic.begin() + 200)).failure.isEmpty());
}

TEST(UprightExif, ResetsOnlyTheOrientationInEitherByteOrderAndRefusesWhatIsNoTiff) {
    const Bytes little = phoneExifTiff(8, PhoneExif{});
    const std::optional<Bytes> upright = uprightExif(little);
    ASSERT_TRUE(upright);
    EXPECT_EQ(tiffOrientation(*upright), 1u);
    size_t changed = 0;
    for (size_t i = 0; i < little.size(); ++i)
        changed += little[i] != (*upright)[i] ? 1 : 0;
    EXPECT_EQ(changed, 1u);

    // A big-endian directory of one entry: Orientation 6.
    const Bytes big = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3,
                       0,   0,   0, 1,  0, 6, 0, 0, 0, 0, 0,    0,    0, 0};
    const std::optional<Bytes> bigUpright = uprightExif(big);
    ASSERT_TRUE(bigUpright);
    EXPECT_EQ(tiffOrientation(*bigUpright), 1u);
    EXPECT_EQ((*bigUpright)[18], 0);
    EXPECT_EQ((*bigUpright)[19], 1);

    // A directory claiming more entries than the data holds, pointing past the end.
    Bytes claims = big;
    claims[9] = 200;
    claims[4] = 0x7F;
    EXPECT_TRUE(uprightExif(claims));
    EXPECT_FALSE(uprightExif(Bytes{'G', 'I', 'F', '8'}));
    EXPECT_FALSE(exifDateTaken(big));
    EXPECT_FALSE(exifDateTaken(claims));
}

}  // namespace
