#include "values/naturalorder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

int order(std::u16string_view a, std::u16string_view b) {
    return sign(naturalCompare(a, b));
}

}  // namespace

TEST(NaturalOrderTest, DigitRunsCompareByValueOfAnyLength) {
    EXPECT_EQ(order(u"IMG_2.JPG", u"IMG_10.JPG"), -1);
    EXPECT_EQ(order(u"IMG_0010.JPG", u"IMG_9.JPG"), 1);
    // Longer than any integer type.
    EXPECT_EQ(order(u"a123456789012345678901234567890", u"a123456789012345678901234567891"), -1);
    EXPECT_EQ(order(u"a99999999999999999999", u"a100000000000000000000"), -1);
    EXPECT_EQ(order(u"v1.9", u"v1.10"), -1);
}

TEST(NaturalOrderTest, CaseIsIgnoredButOnlyIdenticalNamesAreEqual) {
    EXPECT_EQ(order(u"alpha", u"Beta"), -1);
    EXPECT_EQ(order(u"Zeta", u"beta"), 1);
    EXPECT_EQ(order(u"abc", u"abc"), 0);
    // Equal but for case or leading zeros: a fixed order, never "the same".
    EXPECT_NE(order(u"ABC", u"abc"), 0);
    EXPECT_EQ(order(u"ABC", u"abc"), -order(u"abc", u"ABC"));
    EXPECT_NE(order(u"img_01", u"img_1"), 0);
    EXPECT_EQ(order(u"img_01", u"img_1"), -order(u"img_1", u"img_01"));
    // A name that is the start of another comes first.
    EXPECT_EQ(order(u"IMG", u"IMG_1"), -1);
    EXPECT_EQ(order(u"", u"a"), -1);
    EXPECT_EQ(order(u"photo", u"photo2"), -1);
}
