#include "values/plistconversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "values/cautostring.h"
#include "values/cbool.h"
#include "values/cint64.h"
#include "values/nsarray.h"

namespace {

using namespace ZelboLib;

PlistPtr fromXml(const std::string& body) {
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">" + body + "</plist>";
    plist_t node = nullptr;
    plist_from_xml(xml.c_str(), static_cast<uint32_t>(xml.size()), &node);
    return PlistPtr(node);
}

std::u16string describe(const Owned<Object>& object) {
    return object ? std::u16string(object->description().view()) : u"<null>";
}

TEST(ObjectFromPlist, ConvertsScalars) {
    const struct {
        const char* xml;
        int32_t type;
        const char16_t* description;
    } cases[] = {
        {"<string>iPhone14,2</string>", kTypeString, u"iPhone14,2"},
        {"<string>caf\xc3\xa9</string>", kTypeString, u"café"},
        {"<integer>5000000000</integer>", kTypeInt64, u"5000000000"},
        {"<integer>-1</integer>", kTypeInt64, u"-1"},
        {"<integer>9223372036854775807</integer>", kTypeInt64, u"9223372036854775807"},
        {"<integer>-9223372036854775808</integer>", kTypeInt64, u"-9223372036854775808"},
        {"<real>3.0</real>", kTypeInt64, u"3"},
        {"<true/>", kTypeBool, u"True"},
        {"<false/>", kTypeBool, u"False"},
    };
    for (const auto& c : cases) {
        const PlistPtr node = fromXml(c.xml);
        ASSERT_NE(node, nullptr) << c.xml;
        const Owned<Object> object = objectFromPlist(node.get());
        ASSERT_NE(object, nullptr) << c.xml;
        EXPECT_EQ(object->typeCode(), c.type) << c.xml;
        EXPECT_EQ(describe(object), c.description) << c.xml;
    }
}

TEST(ObjectFromPlist, GivesNullForWhatHasNoValueObject) {
    for (const char* xml :
         {"<real>3.5</real>", "<real>1e30</real>", "<integer>18446744073709551615</integer>",
          "<integer>9223372036854775808</integer>", "<dict><key>a</key><string>b</string></dict>",
          "<data>AAEC</data>", "<date>2024-01-01T00:00:00Z</date>"}) {
        const PlistPtr node = fromXml(xml);
        ASSERT_NE(node, nullptr) << xml;
        EXPECT_EQ(objectFromPlist(node.get()), nullptr) << xml;
    }
    EXPECT_EQ(objectFromPlist(nullptr), nullptr);
}

TEST(ObjectFromPlist, ArraysSkipUnconvertibleElements) {
    const PlistPtr node = fromXml("<array><string>s</string><dict/><true/></array>");
    const Owned<Object> object = objectFromPlist(node.get());
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(object->typeCode(), kTypeArray);
    const auto& array = static_cast<const NSArray&>(*object);
    ASSERT_EQ(array.count(), 2);
    EXPECT_TRUE(array.ownsElements());
    EXPECT_EQ(array.objectAtIndex(0)->typeCode(), kTypeString);
    EXPECT_EQ(array.objectAtIndex(1)->typeCode(), kTypeBool);

    const PlistPtr empty = fromXml("<array/>");
    const Owned<Object> emptyArray = objectFromPlist(empty.get());
    ASSERT_NE(emptyArray, nullptr);
    EXPECT_EQ(static_cast<const NSArray&>(*emptyArray).count(), 0);

    const PlistPtr nested = fromXml("<array><array><integer>1</integer></array></array>");
    const Owned<Object> nestedArray = objectFromPlist(nested.get());
    const auto* inner = static_cast<const NSArray&>(*nestedArray).objectAtIndex(0);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(static_cast<const NSArray*>(inner)->count(), 1);
}

TEST(ObjectFromPlist, SurvivesHostileNesting) {
    plist_t root = plist_new_array();
    plist_t level = root;
    for (int i = 0; i < 10000; ++i) {
        plist_t inner = plist_new_array();
        plist_array_append_item(level, inner);
        level = inner;
    }
    const PlistPtr owner(root);
    const Owned<Object> object = objectFromPlist(root);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->typeCode(), kTypeArray);
}

TEST(PlistStrings, ConvertBothWaysAndLeaveOtherValuesAlone) {
    const PlistPtr string = plistStringFromText(u"Ph\xF6to \xD83D\xDCF7");
    CZelboString text;
    textFromPlistString(string.get(), text);
    EXPECT_EQ(text.view(), u"Ph\xF6to \xD83D\xDCF7");

    const PlistPtr invalid(plist_new_string("bad\xff"));
    textFromPlistString(invalid.get(), text);
    EXPECT_EQ(text.view(), u"bad\xFFFD");

    const PlistPtr number(plist_new_uint(3));
    text = u"kept";
    textFromPlistString(number.get(), text);
    EXPECT_EQ(text.view(), u"kept");
    textFromPlistString(nullptr, text);
    EXPECT_EQ(text.view(), u"kept");
}

TEST(StringForKey, ReportsPresenceAndConvertsOnlyStrings) {
    const PlistPtr reply = fromXml(
        "<dict><key>Error</key><string>ApplicationLookupFailed</string>"
        "<key>Code</key><integer>7</integer></dict>");
    CZelboString text(u"unchanged");
    EXPECT_FALSE(stringForKey(reply.get(), "Status", text));
    EXPECT_EQ(text.view(), u"unchanged");
    EXPECT_TRUE(stringForKey(reply.get(), "Code", text));  // present, but not a string
    EXPECT_EQ(text.view(), u"unchanged");
    EXPECT_TRUE(stringForKey(reply.get(), "Error", text));
    EXPECT_EQ(text.view(), u"ApplicationLookupFailed");

    const PlistPtr notDictionary(plist_new_string("x"));
    EXPECT_FALSE(stringForKey(notDictionary.get(), "Error", text));
}

}  // namespace
