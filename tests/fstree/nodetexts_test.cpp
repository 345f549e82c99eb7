#include <gtest/gtest.h>

#include <string>

#include "fstree/ctimetext.h"
#include "fstree/devicepath.h"
#include "fstree/filetypedescriber.h"
#include "fstree/localname.h"
#include "fstree/utczone.h"

namespace {

std::string utf8(const CZelboString& text) {
    return text.toUtf8();
}

TEST(DevicePathTest, JoinsVerbatimAndCollapsesOnlyDoubleSlashes) {
    EXPECT_EQ(utf8(joinDevicePath(u"/", u"A")), "/A");
    EXPECT_EQ(utf8(joinDevicePath(u"/", u"a\\b")), "/a\\b");
    EXPECT_EQ(utf8(joinDevicePath(u"/", u"/")), "/");
    EXPECT_EQ(utf8(collapseDoubleSlashes(u"////a//b")), "/a/b");
    EXPECT_EQ(utf8(parentOfDevicePath(u"/link")), "/");
    EXPECT_EQ(utf8(resolveLinkTarget(u"/a/b", u"../c")), "/a/b/../c");
    EXPECT_EQ(utf8(resolveLinkTarget(u"/a/b", u"/var/c")), "/var/c");
    EXPECT_EQ(utf8(resolveLinkTarget(u"/a/b", u"")), "");
}

TEST(LocalNameTest, RefusesNamesThatLeaveTheFolder) {
    using namespace std::string_view_literals;
    for (const std::u16string_view name : {u""sv, u"."sv, u".."sv, u"a/b"sv, u"/"sv, u"a\0b"sv})
        EXPECT_FALSE(isSafeLocalName(name)) << name.size();
    for (const std::u16string_view name : {u"..."sv, u"..a"sv, u".hidden"sv, u"a\\b"sv, u"ü"sv})
        EXPECT_TRUE(isSafeLocalName(name));
}

TEST(FileTypeTest, DescribesByExtensionAlone) {
    EXPECT_EQ(utf8(describeFileTypeByExtension(u"/DCIM/a.jpg", false)), "JPG File");
    EXPECT_EQ(utf8(describeFileTypeByExtension(u"/DCIM/a.jpg", true)), "File Folder");
    EXPECT_EQ(utf8(describeFileTypeByExtension(u"/x.y/README", false)), "File");
    EXPECT_EQ(utf8(describeFileTypeByExtension(u"/a.tar.Gz", false)), "GZ File");
}

TEST(CtimeTextTest, SecondsAreCutTowardZero) {
    const UtcZone utc;
    EXPECT_EQ(utf8(localCtimeText(741476948LL * 1000000000 + 999999999)),
              "Wed Jun 30 21:49:08 1993\n");
    EXPECT_EQ(utf8(localCtimeText(-999999999)), "Thu Jan 01 00:00:00 1970\n");
    EXPECT_EQ(utf8(localCtimeText(-1000000000)), "Wed Dec 31 23:59:59 1969\n");
}

}  // namespace
