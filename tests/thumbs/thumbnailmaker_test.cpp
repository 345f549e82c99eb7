#include "thumbs/thumbnailmaker.h"

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "thumbs/boxfit.h"
#include "thumbs/boxresampler.h"
#include "thumbs/exiforientation.h"
#include "thumbs/imagedecoder.h"
#include "thumbs/jpegdecoder.h"
#include "thumbs/thumbnailimagerule.h"

#include "support/imagebytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Colours that change from pixel to pixel, so that a lost or misplaced row shows.
Bytes gradient(int width, int height, int channels) {
    Bytes pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < channels; ++c)
                pixels.push_back(static_cast<uint8_t>(c == 3 ? 255 - y : x * 3 + y * 5 + c * 40));
        }
    }
    return pixels;
}

Bytes pngFile(int width, int height) {
    Bytes file;
    stbi_write_png_to_func(appendWritten<Bytes>, &file, width, height, 4,
                           gradient(width, height, 4).data(), width * 4);
    return file;
}

Bytes jpegFile(int width, int height) {
    Bytes file;
    stbi_write_jpg_to_func(appendWritten<Bytes>, &file, width, height, 3,
                           gradient(width, height, 3).data(), 90);
    return file;
}

Bytes bmpFile(int width, int height) {
    Bytes file;
    stbi_write_bmp_to_func(appendWritten<Bytes>, &file, width, height, 3,
                           gradient(width, height, 3).data());
    return file;
}

void appendBigEndian(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t crc32Of(const Bytes& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
}

void appendChunk(Bytes& png, const char* type, const Bytes& data) {
    appendBigEndian(png, static_cast<uint32_t>(data.size()));
    Bytes typeAndData(type, type + 4);
    typeAndData.insert(typeAndData.end(), data.begin(), data.end());
    png.insert(png.end(), typeAndData.begin(), typeAndData.end());
    appendBigEndian(png, crc32Of(typeAndData));
}

// Raw deflate data (no zlib header or checksum) as zlib writes it at its best compression.
Bytes rawDeflate(const Bytes& data) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&stream, data.size()));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// Raw deflate data in one stored block.
Bytes storedDeflate(const Bytes& data) {
    const auto length = static_cast<uint16_t>(data.size());
    Bytes deflate = {0x01, static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                     static_cast<uint8_t>(~length), static_cast<uint8_t>(~length >> 8)};
    deflate.insert(deflate.end(), data.begin(), data.end());
    return deflate;
}

// A PNG as Apple's tools optimise it: a "CgBI" chunk first, blue-green-red-alpha pixels with
// premultiplied colours, and image data as a raw deflate stream, compressed the way Xcode's
// crusher does it (zlib) unless stored is asked for.
Bytes cgbiFile(int width, int height, const Bytes& bgraPixels, bool stored = false) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    appendChunk(png, "CgBI", {0x50, 0x00, 0x20, 0x06});
    Bytes header;
    appendBigEndian(header, static_cast<uint32_t>(width));
    appendBigEndian(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 6, 0, 0, 0});
    appendChunk(png, "IHDR", header);
    Bytes rows;
    const size_t stride = static_cast<size_t>(width) * 4;
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
        rows.push_back(0);  // no filter
        rows.insert(rows.end(), bgraPixels.begin() + static_cast<long>(y * stride),
                    bgraPixels.begin() + static_cast<long>((y + 1) * stride));
    }
    appendChunk(png, "IDAT", stored ? storedDeflate(rows) : rawDeflate(rows));
    appendChunk(png, "IEND", {});
    return png;
}

enum class ByteOrder { Intel, Motorola };

void appendTiff(Bytes& out, ByteOrder order, uint32_t value, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const size_t shift = 8 * (order == ByteOrder::Intel ? i : size - 1 - i);
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

struct IfdEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t value = 0;
};

// A TIFF header and IFD0 holding the entries, with entryCount as the IFD's claimed count.
Bytes tiffWith(ByteOrder order, const std::vector<IfdEntry>& entries, uint32_t entryCount,
               uint32_t ifdOffset = 8) {
    Bytes tiff = order == ByteOrder::Intel ? Bytes{'I', 'I'} : Bytes{'M', 'M'};
    appendTiff(tiff, order, 42, 2);
    appendTiff(tiff, order, ifdOffset, 4);
    appendTiff(tiff, order, entryCount, 2);
    for (const IfdEntry& entry : entries) {
        appendTiff(tiff, order, entry.tag, 2);
        appendTiff(tiff, order, entry.type, 2);
        appendTiff(tiff, order, entry.count, 4);
        // A short value sits in the first bytes of the value field.
        appendTiff(tiff, order, entry.value, 2);
        appendTiff(tiff, order, 0, 2);
    }
    appendTiff(tiff, order, 0, 4);  // no next IFD
    return tiff;
}

// An orientation entry after an unrelated one (the camera make, an ASCII offset).
Bytes orientationTiff(ByteOrder order, uint16_t orientation) {
    return tiffWith(order, {{0x010F, 2, 6, 100}, {0x0112, 3, 1, orientation}}, 2);
}

// The JPEG with an APP1 Exif segment holding the TIFF data right after its start marker.
Bytes withExif(const Bytes& jpeg, const Bytes& tiff) {
    Bytes segment = {0xFF, 0xE1};
    const size_t length = 2 + 6 + tiff.size();
    segment.push_back(static_cast<uint8_t>(length >> 8));
    segment.push_back(static_cast<uint8_t>(length));
    segment.insert(segment.end(), {'E', 'x', 'i', 'f', 0, 0});
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// A JPEG whose top left quarter is red and the rest blue, in blocks large enough to survive
// compression.
Bytes cornerJpeg(int width, int height) {
    Bytes pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool corner = x < width / 2 && y < height / 2;
            const uint8_t red = corner ? 255 : 0;
            pixels.insert(pixels.end(), {red, 0, static_cast<uint8_t>(255 - red)});
        }
    }
    Bytes file;
    stbi_write_jpg_to_func(appendWritten<Bytes>, &file, width, height, 3, pixels.data(), 95);
    return file;
}

bool isRedAt(const RgbaImage& image, int x, int y) {
    const size_t at =
        (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 4;
    return image.pixels[at] > 200 && image.pixels[at + 2] < 60;
}

RgbaImage solid(int width, int height, std::vector<uint8_t> rgba) {
    RgbaImage image{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        image.pixels.insert(image.pixels.end(), rgba.begin(), rgba.end());
    return image;
}

TEST(ThumbnailImageRule, AcceptsImageExtensionsInAnyCaseAndAppArtwork) {
    for (const char16_t* name : {u"Photo.JPG", u"a.png", u"b.jpeg", u"c.Bmp", u"d.jpg.PNG",
                                 u"iTunesArtwork", u"/iTunesArtwork", u"IMG_0001.MOV", u"a.mp4",
                                 u"b.M4V"})
        EXPECT_TRUE(wantsThumbnail(name)) << CZelboString(name).toUtf8();
    for (const char16_t* name : {u"archive.png.zip", u"notes.txt", u"png", u"itunesartwork",
                                 u"iTunesArtwork.plist", u"photo.gif", u"", u"clip.avi"})
        EXPECT_FALSE(wantsThumbnail(name)) << CZelboString(name).toUtf8();
    // The inspector judges the whole path: the artwork only at the container's top.
    EXPECT_TRUE(inspectorWantsThumbnail(u"/iTunesArtwork"));
    EXPECT_TRUE(inspectorWantsThumbnail(u"/Documents/Photo.JPG"));
    EXPECT_FALSE(inspectorWantsThumbnail(u"/Documents/iTunesArtwork"));
}

TEST(BoxFit, ShrinksTheLongerSideToTheBoxAndNeverEnlarges) {
    EXPECT_EQ(fitIntoBox(4000, 3000, 200, 200), (FittedSize{200, 150}));
    EXPECT_EQ(fitIntoBox(3000, 4000, 200, 200), (FittedSize{150, 200}));
    EXPECT_EQ(fitIntoBox(100, 50, 200, 200), (FittedSize{100, 50}));
    EXPECT_EQ(fitIntoBox(200, 200, 200, 200), (FittedSize{200, 200}));
    EXPECT_EQ(fitIntoBox(201, 201, 200, 200), (FittedSize{200, 200}));
    // 200 * 301 / 401 is 150.12 and 200 * 302 / 401 is 150.62: rounded half up.
    EXPECT_EQ(fitIntoBox(401, 301, 200, 200), (FittedSize{200, 150}));
    EXPECT_EQ(fitIntoBox(401, 302, 200, 200), (FittedSize{200, 151}));
    EXPECT_EQ(fitIntoBox(1, 1000, 200, 200), (FittedSize{1, 200}));
    EXPECT_EQ(fitIntoBox(16384, 1, 200, 200), (FittedSize{200, 1}));
}

TEST(BoxResampler, KeepsASolidColourExactly) {
    for (const std::vector<uint8_t>& colour : std::vector<std::vector<uint8_t>>{
             {255, 255, 255, 255}, {0, 0, 0, 0}, {1, 128, 254, 77}, {200, 17, 99, 255}}) {
        const auto small = resampleBox(solid(7, 5, colour), 3, 2);
        ASSERT_TRUE(small);
        EXPECT_EQ(*small, solid(3, 2, colour)) << int{colour[0]} << " " << int{colour[1]};
    }
}

TEST(BoxResampler, AveragesTheSourcePixelsUnderEachTargetPixel) {
    // A 4 × 2 checkerboard of red and blue halves into two pixels of half red, half blue.
    const uint8_t red[] = {255, 0, 0, 255};
    const uint8_t blue[] = {0, 0, 255, 255};
    RgbaImage board{4, 2, {}};
    for (int i = 0; i < 8; ++i) {
        const uint8_t* colour = (i % 4 + i / 4) % 2 == 0 ? red : blue;
        board.pixels.insert(board.pixels.end(), colour, colour + 4);
    }
    EXPECT_EQ(resampleBox(board, 2, 1), (RgbaImage{2, 1, {128, 0, 128, 255, 128, 0, 128, 255}}));

    // Five pixels into three: the footprints (1.67 source pixels wide, centred on 0.33, 2 and
    // 3.67) hold pixels 0-1, 2 and 3-4, each counted whole.
    const RgbaImage row{
        5, 1, {0, 10, 0, 255, 255, 30, 255, 0, 77, 50, 3, 128, 10, 70, 100, 0, 20, 90, 200, 255}};
    const RgbaImage expected{3, 1, {128, 20, 128, 128, 77, 50, 3, 128, 15, 80, 150, 128}};
    EXPECT_EQ(resampleBox(row, 3, 1), expected);
    // Columns are filtered the same way.
    const RgbaImage column{1, 5, row.pixels};
    EXPECT_EQ(resampleBox(column, 1, 3), (RgbaImage{1, 3, expected.pixels}));
}

TEST(BoxResampler, RefusesToEnlargeOrToReadAnInvalidImage) {
    EXPECT_FALSE(resampleBox(solid(4, 4, {1, 2, 3, 4}), 5, 4));
    EXPECT_FALSE(resampleBox(solid(4, 4, {1, 2, 3, 4}), 0, 4));
    EXPECT_FALSE(resampleBox(RgbaImage{4, 4, Bytes(10)}, 2, 2));
}

TEST(ThumbnailMaker, ShrinksALargeImageIntoTheBox) {
    const Bytes png = pngFile(400, 300);
    const auto thumbnail = makeThumbnail(png);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->source, (ImageSize{400, 300}));
    EXPECT_EQ(thumbnail->image, resampleBox(*decodeImage(png), 200, 150));

    // The limit is on each side, not on the area.
    const auto wide = makeThumbnail(pngFile(16384, 1));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->source, (ImageSize{16384, 1}));
    EXPECT_EQ(wide->image.width, 200);
    EXPECT_EQ(wide->image.height, 1);
}

TEST(ThumbnailMaker, KeepsAnImageThatFitsAsDecoded) {
    for (const Bytes& file : {pngFile(100, 50), jpegFile(100, 50), bmpFile(100, 50)}) {
        const auto thumbnail = makeThumbnail(file);
        ASSERT_TRUE(thumbnail);
        EXPECT_EQ(thumbnail->source, (ImageSize{100, 50}));
        EXPECT_EQ(thumbnail->image, decodeImage(file));
    }
}

TEST(ThumbnailMaker, RefusesImagesAboveTheSizeLimits) {
    // Both decode, but are refused from their headers.
    for (const Bytes& file : {pngFile(20000, 10), pngFile(10, 16385)}) {
        EXPECT_TRUE(decodeImage(file));
        EXPECT_FALSE(makeThumbnail(file));
    }
    // A header that claims 20000 × 10 pixels with the data of one pixel behind it.
    Bytes claim = pngFile(1, 1);
    const uint8_t size[] = {0, 0, 0x4E, 0x20, 0, 0, 0, 10};
    std::memcpy(&claim[16], size, sizeof size);
    EXPECT_FALSE(makeThumbnail(claim));

    // Too many bytes, however small the image: readers stop at the limit.
    Bytes padded = pngFile(4, 4);
    padded.resize(kMaxThumbnailSourceBytes);
    EXPECT_TRUE(makeThumbnail(padded));
    padded.push_back(0);
    EXPECT_FALSE(makeThumbnail(padded));
}

TEST(ThumbnailMaker, GivesNothingForTruncatedOrCorruptFiles) {
    EXPECT_FALSE(makeThumbnail({}));
    const Bytes text(200, 'x');
    EXPECT_FALSE(makeThumbnail(text));
    for (const Bytes& file : {pngFile(64, 48), jpegFile(64, 48), bmpFile(64, 48)}) {
        ASSERT_TRUE(makeThumbnail(file));
        for (const size_t kept : {size_t{10}, size_t{40}, file.size() / 2, file.size() - 20}) {
            const Bytes truncated(file.begin(), file.begin() + static_cast<long>(kept));
            EXPECT_FALSE(makeThumbnail(truncated)) << kept << " of " << file.size();
        }
        // Damage anywhere must never crash; what decodes still fits the box.
        for (size_t at = 0; at < file.size(); at += 7) {
            Bytes damaged = file;
            damaged[at] ^= 0xA5;
            if (const auto thumbnail = makeThumbnail(damaged)) {
                EXPECT_TRUE(thumbnail->image.isValid());
                EXPECT_LE(thumbnail->image.width, kThumbnailBoxSide);
                EXPECT_LE(thumbnail->image.height, kThumbnailBoxSide);
            }
        }
    }
}

TEST(ThumbnailMaker, ReadsAppleOptimisedPngsInRgbOrderStillPremultiplied) {
    // Opaque red, then (200, 100, 50) at alpha 128, premultiplied to (100, 50, 25).
    const Bytes bgra = {0, 0, 255, 255, 25, 50, 100, 128};
    for (const bool stored : {true, false}) {
        const auto thumbnail = makeThumbnail(cgbiFile(2, 1, bgra, stored));
        ASSERT_TRUE(thumbnail) << stored;
        EXPECT_EQ(thumbnail->source, (ImageSize{2, 1}));
        EXPECT_EQ(thumbnail->image, (RgbaImage{2, 1, {255, 0, 0, 255, 100, 50, 25, 128}}));
    }
    // Compressed streams; that of 33 x 21 ends its last codes right at the end of the data.
    for (const auto& [width, height] : {std::pair{64, 48}, std::pair{33, 21}, std::pair{100, 80}}) {
        Bytes pixels = gradient(width, height, 4);
        const auto decoded = makeThumbnail(cgbiFile(width, height, pixels));
        ASSERT_TRUE(decoded) << width << " x " << height;
        for (size_t at = 0; at < pixels.size(); at += 4)
            std::swap(pixels[at], pixels[at + 2]);
        EXPECT_EQ(decoded->image, (RgbaImage{width, height, pixels}));
    }
}

// The offset of the first segment with this marker in a JPEG, or 0.
size_t segmentAt(const Bytes& jpeg, uint8_t marker) {
    for (size_t at = 2; at + 4 <= jpeg.size();) {
        if (jpeg[at] != 0xFF)
            return 0;
        if (jpeg[at + 1] == marker)
            return at;
        at += 2 + (size_t{jpeg[at + 2]} << 8 | jpeg[at + 3]);
    }
    return 0;
}

Bytes withSize(Bytes file, size_t at, std::initializer_list<uint8_t> size) {
    std::copy(size.begin(), size.end(), file.begin() + static_cast<long>(at));
    return file;
}

TEST(ThumbnailMaker, RefusesHeadersAnnouncingMorePixelsThanTheFileHolds) {
    const Bytes jpeg = jpegFile(64, 48);
    const size_t frame = segmentAt(jpeg, 0xC0);
    ASSERT_NE(frame, 0u);
    struct Case {
        const char* what;
        Bytes file;
    };
    // Each announces a picture of tens of millions of pixels, which the decoders would fill
    // with black or grey where the data is missing.
    const Case cases[] = {
        {"jpeg 9280 x 8192 in 1.3 KB", withSize(jpeg, frame + 5, {0x20, 0x00, 0x24, 0x40})},
        {"png 10000 x 10000", withSize(pngFile(1, 1), 16, {0, 0, 0x27, 0x10, 0, 0, 0x27, 0x10})},
        {"bmp 9000 x 9000", withSize(bmpFile(4, 4), 18, {0x28, 0x23, 0, 0, 0x28, 0x23, 0, 0})},
        {"bmp 4 x -2^31, no height that can be negated",
         withSize(bmpFile(4, 4), 18, {4, 0, 0, 0, 0, 0, 0, 0x80})},
        {"tga header 9000 x 9000",
         Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x28, 0x23, 0x28, 0x23, 24, 0}},
        {"psd header 9000 x 9000",
         Bytes{'8',  'B',  'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0x23, 0x28, 0, 0,
               0x23, 0x28, 0,   8,   0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    0,    0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(imageDecoderFor(c.file)->size()) << c.what;
        EXPECT_FALSE(makeThumbnail(c.file)) << c.what;
    }
    // A chunk announcing more data than the file holds would have the decoder allocate it.
    Bytes hugeData = pngFile(1, 1);
    const Bytes lengthAndType = {0x7F, 0xFF, 0xFF, 0x00, 'I', 'D', 'A', 'T', 0, 0};
    hugeData.insert(hugeData.end() - 12, lengthAndType.begin(), lengthAndType.end());
    EXPECT_FALSE(imageDecoderFor(hugeData)->size());
    EXPECT_FALSE(makeThumbnail(hugeData));
    // A JPEG cut short is found missing while decoding; the rest is not made up.
    const Bytes photo = cornerJpeg(800, 600);
    const Bytes cut(photo.begin(), photo.begin() + static_cast<long>(photo.size() * 7 / 10));
    EXPECT_TRUE(imageDecoderFor(cut)->size());
    EXPECT_FALSE(makeThumbnail(cut));
}

TEST(ThumbnailMaker, JpegWhoseScanUsesAnUndefinedHuffmanTableGivesNothing) {
    Bytes jpeg = jpegFile(64, 48);
    const size_t scan = segmentAt(jpeg, 0xDA);
    ASSERT_NE(scan, 0u);
    // Table 3, which the file never defines, for the DC and AC data of every component.
    for (size_t c = 0; c < jpeg[scan + 4]; ++c)
        jpeg[scan + 6 + 2 * c] = 0x33;
    // The decoder it once crashed read memory left by earlier decodes: several run here.
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(makeThumbnail(jpegFile(64, 48)));
        EXPECT_FALSE(makeThumbnail(jpeg)) << round;
    }
}

TEST(ThumbnailMaker, DecodesLargeJpegsScaledDownToNoLessThanTheBox) {
    const Bytes photo = cornerJpeg(1600, 1200);
    JpegDecoder eighth(photo);
    EXPECT_EQ(eighth.size(), (ImageSize{1600, 1200}));
    const auto small = eighth.decode({200, 150});
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width, 200);
    EXPECT_EQ(small->height, 150);
    EXPECT_FALSE(eighth.decode({200, 150}));
    JpegDecoder quarter(photo);
    const auto larger = quarter.decode({201, 150});
    ASSERT_TRUE(larger);
    EXPECT_EQ(larger->width, 400);

    const auto thumbnail = makeThumbnail(photo);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->source, (ImageSize{1600, 1200}));
    EXPECT_EQ(thumbnail->image.width, 200);
    EXPECT_EQ(thumbnail->image.height, 150);
    EXPECT_TRUE(isRedAt(thumbnail->image, 10, 10));
    EXPECT_FALSE(isRedAt(thumbnail->image, 190, 140));
    // Shapes whose eighth rounds differently still get the fit of the full size.
    const auto odd = makeThumbnail(cornerJpeg(1601, 1199));
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->image.width, 200);
    EXPECT_EQ(odd->image.height, 150);
}

TEST(ExifOrientation, TurnsImagesUprightForEachOrientation) {
    // Pixels 0 to 5 of a 3 × 2 image, one channel standing for each pixel:
    //   0 1 2
    //   3 4 5
    RgbaImage image{3, 2, {}};
    for (uint8_t p = 0; p < 6; ++p)
        image.pixels.insert(image.pixels.end(), {p, p, p, p});
    const auto upright = [](int width, int height, std::vector<uint8_t> order) {
        RgbaImage result{width, height, {}};
        for (const uint8_t p : order)
            result.pixels.insert(result.pixels.end(), {p, p, p, p});
        return result;
    };
    EXPECT_EQ(orientUpright(image, 1), image);
    EXPECT_EQ(orientUpright(image, 2), upright(3, 2, {2, 1, 0, 5, 4, 3}));
    EXPECT_EQ(orientUpright(image, 3), upright(3, 2, {5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(orientUpright(image, 4), upright(3, 2, {3, 4, 5, 0, 1, 2}));
    EXPECT_EQ(orientUpright(image, 5), upright(2, 3, {0, 3, 1, 4, 2, 5}));
    EXPECT_EQ(orientUpright(image, 6), upright(2, 3, {3, 0, 4, 1, 5, 2}));
    EXPECT_EQ(orientUpright(image, 7), upright(2, 3, {5, 2, 4, 1, 3, 0}));
    EXPECT_EQ(orientUpright(image, 8), upright(2, 3, {2, 5, 1, 4, 0, 3}));
    EXPECT_EQ(orientUpright(image, 0), image);
    EXPECT_EQ(orientUpright(image, 9), image);
}

TEST(ExifOrientation, ReadsTheTagInEitherByteOrder) {
    const Bytes jpeg = jpegFile(8, 8);
    EXPECT_EQ(exifOrientation(jpeg), 1);
    for (const ByteOrder order : {ByteOrder::Intel, ByteOrder::Motorola}) {
        for (uint16_t orientation = 1; orientation <= 8; ++orientation)
            EXPECT_EQ(exifOrientation(withExif(jpeg, orientationTiff(order, orientation))),
                      orientation);
    }
    // Only JPEG files carry it: the same bytes behind another signature count for nothing.
    Bytes notJpeg = withExif(jpeg, orientationTiff(ByteOrder::Intel, 6));
    notJpeg[1] = 0xD9;
    EXPECT_EQ(exifOrientation(notJpeg), 1);
}

TEST(ExifOrientation, GivesUprightForMalformedOrHostileSegments) {
    const Bytes jpeg = jpegFile(8, 8);
    const ByteOrder intel = ByteOrder::Intel;
    const IfdEntry six{0x0112, 3, 1, 6};
    const std::vector<Bytes> hostile = {
        // IFD0 past the end, and at an offset that wraps a 32-bit sum.
        tiffWith(intel, {six}, 1, 4000),
        tiffWith(intel, {six}, 1, 0xFFFFFFF8u),
        // Far more entries claimed than present, none of them the orientation.
        tiffWith(intel, {{0x010F, 2, 6, 100}}, 0xFFFF),
        // Out-of-range values, a wrong type, a wrong count.
        tiffWith(intel, {{0x0112, 3, 1, 0}}, 1),
        tiffWith(intel, {{0x0112, 3, 1, 9}}, 1),
        tiffWith(intel, {{0x0112, 4, 1, 6}}, 1),
        tiffWith(intel, {{0x0112, 3, 2, 6}}, 1),
        // Not a TIFF header.
        Bytes{'I', 'M', 42, 0, 8, 0, 0, 0},
        Bytes{'I', 'I', 43, 0, 8, 0, 0, 0},
        Bytes{'I', 'I', 42},
        Bytes{},
    };
    for (size_t i = 0; i < hostile.size(); ++i)
        EXPECT_EQ(exifOrientation(withExif(jpeg, hostile[i])), 1) << i;

    // The entry is still found when the claimed count overstates what follows it.
    EXPECT_EQ(exifOrientation(withExif(jpeg, tiffWith(intel, {six}, 0xFFFF))), 6);

    // Cut anywhere before the orientation's value is whole, and with a segment length that
    // runs past the end of the file.
    const Bytes full = withExif(jpeg, orientationTiff(ByteOrder::Motorola, 6));
    const size_t valueEnd = 2 + 4 + 6 + 8 + 2 + 2 * 12;
    for (size_t kept = 0; kept < valueEnd; ++kept) {
        const Bytes truncated(full.begin(), full.begin() + static_cast<long>(kept));
        EXPECT_EQ(exifOrientation(truncated), 1) << kept;
    }
    Bytes longSegment = full;
    longSegment[4] = 0xFF;
    longSegment.resize(100);
    EXPECT_EQ(exifOrientation(longSegment), 1);
    // Damage anywhere must never read outside the bytes.
    for (size_t at = 0; at < valueEnd; ++at) {
        Bytes damaged = full;
        damaged[at] ^= 0xA5;
        const int orientation = exifOrientation(damaged);
        EXPECT_GE(orientation, 1);
        EXPECT_LE(orientation, 8);
    }
}

TEST(ThumbnailMaker, StandsPortraitJpegsUpright) {
    // Stored sideways: one that fits the box and one shrunk before it is turned.
    struct Case {
        int storedWidth, storedHeight, thumbWidth, thumbHeight;
    };
    for (const Case c : {Case{80, 40, 40, 80}, Case{400, 200, 100, 200}}) {
        const Bytes plain = cornerJpeg(c.storedWidth, c.storedHeight);
        const auto stored = makeThumbnail(plain);
        ASSERT_TRUE(stored);
        for (const ByteOrder order : {ByteOrder::Intel, ByteOrder::Motorola}) {
            const auto thumbnail = makeThumbnail(withExif(plain, orientationTiff(order, 6)));
            ASSERT_TRUE(thumbnail);
            EXPECT_EQ(thumbnail->source, (ImageSize{c.storedHeight, c.storedWidth}));
            const RgbaImage& image = thumbnail->image;
            ASSERT_EQ(image.width, c.thumbWidth);
            ASSERT_EQ(image.height, c.thumbHeight);
            // The red corner stored at the top left belongs at the top right.
            EXPECT_TRUE(isRedAt(image, image.width - 2, 1));
            EXPECT_FALSE(isRedAt(image, 1, 1));
            EXPECT_FALSE(isRedAt(image, image.width - 2, image.height - 2));
            EXPECT_EQ(image, orientUpright(stored->image, 6));
        }
        // Half round keeps the sides; the corner goes to the bottom right.
        const auto turned = makeThumbnail(withExif(plain, orientationTiff(ByteOrder::Intel, 3)));
        ASSERT_TRUE(turned);
        EXPECT_EQ(turned->source, (ImageSize{c.storedWidth, c.storedHeight}));
        EXPECT_TRUE(isRedAt(turned->image, turned->image.width - 2, turned->image.height - 2));
    }
}

}  // namespace
