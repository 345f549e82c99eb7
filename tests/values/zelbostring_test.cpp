#include "values/zelbostring.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string units(int count, char16_t unit = u'x') {
    return std::u16string(count, unit);
}

TEST(ZelboStringStorage, StaysInlineUpTo62UnitsAndReturnsInlineWhenShrinking) {
    CZelboString text(units(62).c_str());
    EXPECT_TRUE(text.isInline());
    EXPECT_EQ(text.length(), 62);

    text.assign(units(63).c_str());
    EXPECT_FALSE(text.isInline());
    EXPECT_EQ(text.view(), units(63));

    text.assign(u"");
    EXPECT_TRUE(text.isInline());
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(text.c_str()[0], 0);
}

TEST(ZelboStringStorage, ReusesTheHeapBlockUnlessTheTextGrows) {
    CZelboString text(units(100).c_str());
    const char16_t* block = text.c_str();
    text.assign(units(80, u'y').c_str());
    EXPECT_EQ(text.c_str(), block);
    EXPECT_EQ(text.view(), units(80, u'y'));

    text.assign(units(90, u'z').c_str());
    EXPECT_EQ(text.view(), units(90, u'z'));
}

TEST(ZelboStringStorage, CopiesAndMovesKeepTextsApart) {
    for (const int length : {5, 200}) {
        CZelboString original(units(length).c_str());
        CZelboString copy(original);
        copy.append(u"!");
        EXPECT_EQ(original.length(), length);
        EXPECT_EQ(copy.length(), length + 1);

        CZelboString moved(std::move(copy));
        EXPECT_EQ(moved.length(), length + 1);
        EXPECT_TRUE(copy.isEmpty());  // NOLINT(bugprone-use-after-move): moved-from is empty
        EXPECT_EQ(moved.isInline(), length + 1 <= CZelboString::kMaxInlineLength);

        CZelboString assigned;
        assigned = moved;
        assigned = assigned;  // NOLINT: self-assignment must keep the text
        EXPECT_EQ(assigned, moved);
    }
}

TEST(ZelboStringStorage, AssignsFromItsOwnStorage) {
    CZelboString text(units(100).append(u"tail").c_str());
    text.assign(text.c_str() + 98);
    EXPECT_EQ(text.view(), u"xxtail");
}

TEST(ZelboStringAssign, CountsNullsAndTerminators) {
    CZelboString text;
    text.assign(u"abcdef", 3);
    EXPECT_EQ(text.view(), u"abc");
    text.assign(nullptr);
    EXPECT_TRUE(text.isEmpty());
    text.assign(u"ab\0cd", 5);  // a text ends at its first zero unit
    EXPECT_EQ(text.view(), u"ab");
    text.assignOrClear(nullptr);
    EXPECT_TRUE(text.isEmpty());
    text.assignAnsi("caf\xc3\xa9");
    EXPECT_EQ(text.view(), u"café");
    text.assignAnsi(nullptr);
    EXPECT_TRUE(text.isEmpty());
}

TEST(ZelboStringSubstrings, ClampTheirRanges) {
    const CZelboString text(u"abcdef");
    EXPECT_EQ(text.left(2).view(), u"ab");
    EXPECT_EQ(text.left(-1).view(), u"");
    EXPECT_EQ(text.left(99).view(), u"abcdef");
    EXPECT_EQ(text.mid(2, 2).view(), u"cd");
    EXPECT_EQ(text.mid(2).view(), u"cdef");
    EXPECT_EQ(text.mid(4, 10).view(), u"ef");
    EXPECT_EQ(text.mid(6, 1).view(), u"");
    EXPECT_EQ(text.mid(1, 0).view(), u"");
    EXPECT_EQ(text.right(2).view(), u"ef");
    EXPECT_EQ(text.right(99).view(), u"abcdef");
    EXPECT_EQ(text.right(0).view(), u"");
}

TEST(ZelboStringEdit, ReplaceAllResumesAfterTheReplacement) {
    CZelboString text(u"aaaa");
    EXPECT_EQ(text.replaceAll(u"aa", u"a"), 2);
    EXPECT_EQ(text.view(), u"aa");

    CZelboString growing(u"aaa");
    EXPECT_EQ(growing.replaceAll(u"a", u"aa"), 3);
    EXPECT_EQ(growing.view(), u"aaaaaa");

    CZelboString deleting(u"a-b-c");
    EXPECT_EQ(deleting.replaceAll(u"-", nullptr), 2);
    EXPECT_EQ(deleting.view(), u"abc");

    EXPECT_EQ(deleting.replaceAll(u"", u"x"), 0);
    EXPECT_EQ(deleting.replaceAll(u"zz", u"x"), 0);
}

TEST(ZelboStringEdit, TrimsAndJoins) {
    CZelboString path(u"/var/mobile///");
    path.trimTrailing(u'/');
    EXPECT_EQ(path.view(), u"/var/mobile");
    CZelboString empty;
    empty.trimTrailing(u'/');
    EXPECT_TRUE(empty.isEmpty());
    CZelboString slashes(u"///");
    slashes.trimTrailing(u'/');
    EXPECT_TRUE(slashes.isEmpty());

    CZelboString spaced(u"   name ");
    spaced.trimLeadingSpaces();
    EXPECT_EQ(spaced.view(), u"name ");

    const CZelboString base(u"base");
    EXPECT_EQ(base.concat(u"-x").view(), u"base-x");
    EXPECT_EQ(base.concat(static_cast<const char16_t*>(nullptr)).view(), u"base");
    EXPECT_EQ(base.concat(CZelboString(units(70).c_str())).length(), 74);
    EXPECT_TRUE(base.equals(u"base"));
    EXPECT_FALSE(base.equals(u"Base"));
    EXPECT_FALSE(base.equals(nullptr));
}

TEST(ZelboStringHash, FoldsFromTheLastUnitToTheFirst) {
    EXPECT_EQ(CZelboString().hash(), 0u);
    EXPECT_EQ(CZelboString(u"a").hash(), 97u);
    EXPECT_EQ(CZelboString(u"ab").hash(), 98u * 33 + 97);
    EXPECT_EQ(CZelboString(u"abc").hash(), (99u * 33 + 98) * 33 + 97);
    // Long texts wrap modulo 2^32 rather than overflow into anything else.
    uint32_t expected = 0;
    const std::u16string longText = units(300, u'\xFFFF');
    for (size_t i = longText.size(); i-- > 0;)
        expected = expected * 33 + longText[i];
    EXPECT_EQ(CZelboString(longText.c_str()).hash(), expected);
}

TEST(ZelboStringUtf8, RoundTripsCharactersOutsideTheBasicPlane) {
    const CZelboString text = CZelboString::fromUtf8("IMG_\xf0\x9f\x93\xb7.HEIC");
    EXPECT_EQ(text.length(), 11);  // the camera is a surrogate pair
    EXPECT_EQ(text.toUtf8(), "IMG_\xf0\x9f\x93\xb7.HEIC");
}

TEST(ZelboStringOrder, ComparesCodeUnitsWithPrefixesFirst) {
    EXPECT_LT(CZelboString(u"A").compare(u"a"), 0);
    EXPECT_LT(CZelboString(u"ab").compare(u"abc"), 0);
    EXPECT_GT(CZelboString(u"\xE9").compare(u"z"), 0);
    EXPECT_EQ(CZelboString(u"same").compare(u"same"), 0);
}

}  // namespace
