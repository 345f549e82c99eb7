#include "values/textformatter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "values/zelbostring.h"

namespace {

template <typename... Args>
std::u16string formatted(const char16_t* fmt, const Args&... args) {
    CZelboString text;
    text.format(fmt, args...);
    return std::u16string(text.view());
}

TEST(TextFormatter, IntegersFollowTheirConversionsWidth) {
    EXPECT_EQ(formatted(u"%d", -5), u"-5");
    EXPECT_EQ(formatted(u"%i", 42), u"42");
    EXPECT_EQ(formatted(u"%u", -1), u"4294967295");
    EXPECT_EQ(formatted(u"%x", -1), u"ffffffff");
    EXPECT_EQ(formatted(u"%X", 0xBEEFu), u"BEEF");
    EXPECT_EQ(formatted(u"%x", 0), u"0");
    // Plain conversions read 32 bits, as the Windows formatter does.
    EXPECT_EQ(formatted(u"%d", int64_t{5000000000}), u"705032704");
    EXPECT_EQ(formatted(u"%I64d", int64_t{5000000000}), u"5000000000");
    EXPECT_EQ(formatted(u"%I64d", INT64_MIN), u"-9223372036854775808");
    EXPECT_EQ(formatted(u"%I64u", UINT64_MAX), u"18446744073709551615");
    EXPECT_EQ(formatted(u"%ld", LONG_MIN),
              std::u16string(u"-") + (sizeof(long) == 8 ? u"9223372036854775808" : u"2147483648"));
    EXPECT_EQ(formatted(u"%lu", 7ul), u"7");
}

TEST(TextFormatter, PaddingPrecisionAndFlags) {
    EXPECT_EQ(formatted(u"%08x", 0x1234), u"00001234");
    EXPECT_EQ(formatted(u"%5d|", 42), u"   42|");
    EXPECT_EQ(formatted(u"%-5d|", 42), u"42   |");
    EXPECT_EQ(formatted(u"%05d", -42), u"-0042");
    EXPECT_EQ(formatted(u"%-05d|", 7), u"7    |");  // left alignment wins over zero padding
    EXPECT_EQ(formatted(u"%.3d", 7), u"007");
    EXPECT_EQ(formatted(u"%#x", 255), u"0xff");
    EXPECT_EQ(formatted(u"%#X", 255), u"0XFF");
    EXPECT_EQ(formatted(u"%5s", u"abc"), u"  abc");
    EXPECT_EQ(formatted(u"%-5s|", u"abc"), u"abc  |");
    EXPECT_EQ(formatted(u"%.2s", u"abc"), u"ab");
    EXPECT_EQ(formatted(u"%3c", u'Z'), u"  Z");
}

TEST(TextFormatter, TextsAndCharacters) {
    EXPECT_EQ(formatted(u"%s failed: %x", u"AMDeviceConnect", -1),
              u"AMDeviceConnect failed: ffffffff");
    EXPECT_EQ(formatted(u"%d Item%s", 2, u"s"), u"2 Items");
    EXPECT_EQ(formatted(u"[%s]", CZelboString(u"held")), u"[held]");
    EXPECT_EQ(formatted(u"%hs|%S", "caf\xc3\xa9", "\xe6\x97\xa5"), u"café|日");
    EXPECT_EQ(formatted(u"%s", static_cast<const char16_t*>(nullptr)), u"(null)");
    EXPECT_EQ(formatted(u"%c%c", u'o', u'k'), u"ok");
    EXPECT_EQ(formatted(u"100%%"), u"100%");
}

TEST(TextFormatter, OddFormatsNeverReadForeignMemory) {
    EXPECT_EQ(formatted(u"%q"), u"q");                    // unknown conversion: its letter
    EXPECT_EQ(formatted(u"ab%"), u"ab");                  // a cut-off conversion prints nothing
    EXPECT_EQ(formatted(u"%d and %s"), u"0 and (null)");  // missing arguments
    EXPECT_EQ(formatted(u"%s", 5), u"(null)");            // an integer is no text
    EXPECT_EQ(formatted(u"%d", u"text"), u"0");
    EXPECT_EQ(formatted(u"%99999999999d", 1).size(), kMaxFormatLength);
}

TEST(TextFormatter, CutsTheResultAt1024Units) {
    const std::u16string longText(3000, u'y');
    CZelboString text;
    const int written = text.format(u"<%s>", longText.c_str());
    EXPECT_EQ(written, 1024);
    EXPECT_EQ(text.length(), 1024);
    EXPECT_EQ(text.view().front(), u'<');
    EXPECT_EQ(text.view().back(), u'y');
}

TEST(TextFormatter, FormatReturnsTheUnitsWritten) {
    CZelboString text(u"old");
    EXPECT_EQ(text.format(u"%d Selected", 12), 11);
    EXPECT_EQ(text.view(), u"12 Selected");
}

}  // namespace
