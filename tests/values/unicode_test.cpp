#include "values/unicode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8ToUtf16, DecodesEveryLengthAndSurrogatePairs) {
    EXPECT_EQ(utf8ToUtf16("A\xc3\xa9\xe6\x97\xa5\xf0\x9f\x93\xb7"),
              (std::u16string{u'A', 0xE9, 0x65E5, 0xD83D, 0xDCF7}));
}

TEST(Utf8ToUtf16, ReplacesEachIllFormedPartOnce) {
    const struct {
        const char* bytes;
        std::u16string expected;
    } cases[] = {
        {"\xff", u"\xFFFD"},
        {"a\xc3", u"a\xFFFD"},                    // truncated two-byte sequence
        {"\xe2\x82", u"\xFFFD"},                  // truncated three-byte sequence: one part
        {"\xe2\x82z", u"\xFFFDz"},                // the next character survives
        {"\xc0\xaf", u"\xFFFD\xFFFD"},            // overlong form
        {"\xed\xa0\x80", u"\xFFFD\xFFFD\xFFFD"},  // an encoded surrogate
        {"\xf4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},  // above U+10FFFF
        {"\x80x", u"\xFFFDx"},                              // stray continuation byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8ToUtf16(c.bytes), c.expected) << c.bytes;
}

TEST(Utf8ToUtf16, ReadsNothingPastTheView) {
    const char bytes[] = {'o', 'k', '\xe6', '\x97', '\xa5'};
    EXPECT_EQ(utf8ToUtf16(std::string_view(bytes, 3)), u"ok\xFFFD");
    EXPECT_EQ(utf8ToUtf16(std::string_view(bytes, 5)), u"ok日");
}

TEST(Utf16ToUtf8, EncodesPairsAndReplacesLoneSurrogates) {
    EXPECT_EQ(utf16ToUtf8(u"\xD83D\xDCF7"), "\xf0\x9f\x93\xb7");
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xD83D}), "\xef\xbf\xbd");
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xDCF7, u'x'}), "\xef\xbf\xbdx");
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xD83D, u'x'}), "\xef\xbf\xbdx");
}

TEST(Utf8ToAnsi, KeepsEveryCharacterFromADevice) {
    EXPECT_EQ(utf8ToAnsi("Фото \xe6\x97\xa5\xf0\x9f\x93\xb7"), "Фото \xe6\x97\xa5\xf0\x9f\x93\xb7");
    EXPECT_EQ(utf8ToAnsi("bad\xff"), "bad\xef\xbf\xbd");
}

}  // namespace
