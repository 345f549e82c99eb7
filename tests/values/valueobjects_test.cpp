#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "values/cautostring.h"
#include "values/cbool.h"
#include "values/cint32.h"
#include "values/cint64.h"
#include "values/nsarray.h"
#include "values/nsdata.h"
#include "values/nsdictionary.h"

namespace {

using namespace ZelboLib;

// Counts live instances, to see who releases what.
class Tracked : public Object {
public:
    explicit Tracked(int& alive) : alive_(alive) { ++alive_; }
    ~Tracked() override { --alive_; }

private:
    int& alive_;
};

TEST(ValueObjects, CarryTheirTypeCodesAndDescriptions) {
    const Owned<Object> values[] = {
        Owned<Object>(new CBool(true)),        Owned<Object>(new CBool(false)),
        Owned<Object>(new CInt32(-7)),         Owned<Object>(new CInt64(5000000000)),
        Owned<Object>(new CInt64(INT64_MIN)),  Owned<Object>(new CAutoString(u"Ünïcode")),
        Owned<Object>(new NSDictionary(true)), Owned<Object>(new NSArray(true)),
        Owned<Object>(new NSData()),
    };
    const std::vector<std::pair<int32_t, std::u16string>> expected = {
        {kTypeBool, u"True"},
        {kTypeBool, u"False"},
        {kTypeInt32, u"-7"},
        {kTypeInt64, u"5000000000"},
        {kTypeInt64, u"-9223372036854775808"},
        {kTypeString, u"Ünïcode"},
        {kTypeDictionary, u""},
        {kTypeArray, u""},
        {kTypeNone, u""},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(values[i]->typeCode(), expected[i].first) << i;
        EXPECT_EQ(values[i]->description().view(), expected[i].second) << i;
        EXPECT_EQ(values[i]->className().view(), u"Object") << i;
    }
}

TEST(NSDictionary, OrdersKeysByCodeUnitsAndKeepsCaseApart) {
    NSDictionary dictionary(true);
    for (const char16_t* key : {u"b", u"a", u"A", u"aa", u"", u"\xE9", u"Z"}) {
        dictionary.setObjectForKey(key, new CAutoString(key));
    }
    std::vector<std::u16string> order;
    for (const auto& [key, value] : dictionary.entries())
        order.emplace_back(key.view());
    EXPECT_EQ(order, (std::vector<std::u16string>{u"", u"A", u"Z", u"a", u"aa", u"b", u"\xE9"}));
    EXPECT_TRUE(dictionary.containsKey(u"a"));
    EXPECT_TRUE(dictionary.containsKey(u"A"));
    EXPECT_FALSE(dictionary.containsKey(u"c"));
    EXPECT_EQ(dictionary.objectForKey(u"c"), nullptr);
}

TEST(NSDictionary, ReplacingKeepsOneEntryAndReleasesTheOwnedValue) {
    int alive = 0;
    {
        NSDictionary owning(true);
        auto* first = new Tracked(alive);
        auto* second = new Tracked(alive);
        owning.setObjectForKey(u"key", first);
        owning.setObjectForKey(u"key", first);  // the same value again stays alive
        EXPECT_EQ(alive, 2);
        owning.setObjectForKey(u"key", second);
        EXPECT_EQ(owning.count(), 1);
        EXPECT_EQ(owning.objectForKey(u"key"), second);
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);

    Tracked kept(alive);
    {
        NSDictionary borrowing(false);
        borrowing.setObjectForKey(u"key", &kept);
        borrowing.removeAllObjects();
        EXPECT_EQ(borrowing.count(), 0);
    }
    EXPECT_EQ(alive, 1);
}

TEST(NSArray, KeepsOrderAndReleasesOnlyWhatItOwns) {
    int alive = 0;
    Tracked borrowed(alive);
    {
        NSArray owning(true);
        owning.addObject(new Tracked(alive));
        owning.addObject(new Tracked(alive));
        NSArray view(false);
        view.addObject(&borrowed);
        view.addObjectsFromArray(owning);
        EXPECT_EQ(view.count(), 3);
        EXPECT_EQ(view.objectAtIndex(0), &borrowed);
        EXPECT_EQ(view.objectAtIndex(1), owning.objectAtIndex(0));
        EXPECT_EQ(view.objectAtIndex(3), nullptr);
        EXPECT_EQ(view.objectAtIndex(-1), nullptr);
        EXPECT_EQ(alive, 3);
    }
    EXPECT_EQ(alive, 1);
}

TEST(NSData, AppendsBytesAndUtf8Texts) {
    NSData data;
    EXPECT_EQ(data.length(), 0u);
    EXPECT_EQ(data.bytes(), nullptr);
    EXPECT_TRUE(data.appendBytes("ab", 2));
    EXPECT_TRUE(data.appendBytes(nullptr, 0));
    EXPECT_TRUE(data.appendUtf8(u"é"));
    EXPECT_TRUE(data.appendUtf8WithNul(u"/DCIM"));
    const std::string expected("ab\xc3\xa9/DCIM\0", 10);
    ASSERT_EQ(data.length(), expected.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data.bytes()), data.length()), expected);
}

TEST(ReleaseObject, IgnoresNull) {
    releaseObject(nullptr);
}

}  // namespace
