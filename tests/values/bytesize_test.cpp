#include "values/bytesize.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

TEST(FormatByteSize, FollowsTheTableAtEveryBoundary) {
    const struct {
        int64_t size;
        const char16_t* text;
    } cases[] = {
        {0, u"0"},
        {1, u"1 byte"},
        {2, u"2 bytes"},
        {1023, u"1023 bytes"},
        {-5, u"-5 bytes"},
        {-2000, u"-2000 bytes"},
        {1024, u"1.00 KB"},
        {1536, u"1.50 KB"},
        {1048575, u"1024.00 KB"},
        {1048576, u"1.00 MB"},
        {1073741823, u"1024.00 MB"},
        {1073741824, u"1.00 GB"},
        {int64_t{5} << 30, u"5.00 GB"},  // a long video, past 32 bits
        {1099511627776, u"1.00 TB"},
        {INT64_MAX, u"8388608.00 TB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatByteSize(c.size).view(), std::u16string_view(c.text)) << c.size;
    }
}

TEST(FormatByteSize, IgnoresTheLocalesDecimalComma) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no German locale installed";
    }
    const CZelboString text = formatByteSize(1536);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(text.view(), u"1.50 KB");
}

}  // namespace
