#include "values/textkeytable.h"

#include <gtest/gtest.h>

#include <list>
#include <string>

namespace {

// Two different keys that share a bucket.
std::pair<CZelboString, CZelboString> collidingKeys() {
    const CZelboString first(u"k0");
    for (int i = 1;; ++i) {
        CZelboString other;
        other.format(u"k%d", i);
        if (other.hash() % TextKeyTable<int>::kBucketCount ==
            first.hash() % TextKeyTable<int>::kBucketCount) {
            return {first, other};
        }
    }
}

TEST(TextKeyTable, FindsInsertsAndReplaces) {
    TextKeyTable<int> table;
    EXPECT_EQ(table.find(u".jpg"), nullptr);
    EXPECT_TRUE(table.insert(u".jpg", 1));
    EXPECT_FALSE(table.insert(u".jpg", 2));
    ASSERT_NE(table.find(u".jpg"), nullptr);
    EXPECT_EQ(*table.find(u".jpg"), 1);
    EXPECT_EQ(table.find(u".JPG"), nullptr);

    EXPECT_EQ(table.replace(u".jpg", 3), std::optional<int>(1));
    EXPECT_EQ(table.replace(u".png", 4), std::nullopt);
    EXPECT_EQ(*table.find(u".jpg"), 3);
    EXPECT_EQ(*table.find(u".png"), 4);
    EXPECT_EQ(table.count(), 2u);

    table.clear();
    EXPECT_EQ(table.count(), 0u);
    EXPECT_EQ(table.find(u".png"), nullptr);
}

TEST(TextKeyTable, MovesAHitToTheFrontOfItsChain) {
    const auto [first, second] = collidingKeys();
    TextKeyTable<int> table;
    table.insert(first, 1);
    table.insert(second, 2);
    EXPECT_EQ(table.chainKeys(first), (std::list<CZelboString>{second, first}));
    EXPECT_EQ(*table.find(first), 1);
    EXPECT_EQ(table.chainKeys(first), (std::list<CZelboString>{first, second}));
    EXPECT_EQ(*table.find(second), 2);
}

}  // namespace
