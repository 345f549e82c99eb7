#include "thumbs/pngtextchunk.h"

#include <gtest/gtest.h>

#include <vector>

#include "thumbs/rgbaimage.h"

namespace {

std::vector<uint8_t> smallPng() {
    return *encodePng(RgbaImage{2, 1, {1, 2, 3, 4, 5, 6, 7, 8}});
}

TEST(PngTextChunk, IsAnInternationalTextChunkRightAfterTheHeader) {
    const std::vector<uint8_t> png = smallPng();
    const auto tagged = withTextChunk(png, "k", "v");
    ASSERT_TRUE(tagged);
    // Signature (8) and header chunk (25), then length 7, "iTXt", the keyword, its zero, no
    // compression, method 0, empty language and translation, the text, and the CRC-32 of type
    // and data as zlib computes it.
    const std::vector<uint8_t> expected = {0, 0, 0, 7, 'i', 'T',  'X',  't',  'k', 0,
                                           0, 0, 0, 0, 'v', 0x21, 0xA6, 0x8F, 0x71};
    ASSERT_EQ(tagged->size(), png.size() + expected.size());
    EXPECT_EQ(std::vector<uint8_t>(tagged->begin() + 33, tagged->begin() + 33 + 19), expected);
    EXPECT_EQ(std::vector<uint8_t>(tagged->begin() + 52, tagged->end()),
              std::vector<uint8_t>(png.begin() + 33, png.end()));
    EXPECT_EQ(decodeImage(*tagged), decodeImage(png));
}

TEST(PngTextChunk, IsFoundByItsKeyword) {
    const std::string text =
        "0123abcd/Media/DCIM/Fotos \xC3\xBC"
        "ber\xF0\x9F\x98\x80.jpg";
    const auto first = withTextChunk(smallPng(), "first", text);
    const auto both = withTextChunk(*first, "second", "other");
    ASSERT_TRUE(both);
    EXPECT_EQ(findTextChunk(*both, "first"), text);
    EXPECT_EQ(findTextChunk(*both, "second"), "other");
    EXPECT_EQ(findTextChunk(*both, "third"), std::nullopt);
    EXPECT_EQ(findTextChunk(smallPng(), "first"), std::nullopt);
    EXPECT_EQ(withTextChunk(std::vector<uint8_t>{'G', 'I', 'F', '8'}, "k", "v"), std::nullopt);
}

TEST(PngTextChunk, DamagedFilesYieldNothing) {
    const std::vector<uint8_t> tagged = *withTextChunk(smallPng(), "key", "the text");
    std::vector<uint8_t> changedText = tagged;
    changedText[33 + 8 + 9] ^= 0x20;  // a letter of the text: the checksum no longer matches
    EXPECT_EQ(findTextChunk(changedText, "key"), std::nullopt);

    for (const size_t length : {size_t{0}, size_t{8}, size_t{40}, size_t{33 + 19}}) {
        const std::vector<uint8_t> cut(tagged.begin(),
                                       tagged.begin() + static_cast<ptrdiff_t>(length));
        EXPECT_EQ(findTextChunk(cut, "key"), std::nullopt) << "cut at " << length;
    }
    std::vector<uint8_t> hugeLength = tagged;
    hugeLength[33] = 0xFF;  // a chunk length running far past the end
    EXPECT_EQ(findTextChunk(hugeLength, "key"), std::nullopt);
}

}  // namespace
