#pragma once

#include <array>
#include <list>
#include <optional>
#include <utility>

#include "values/zelbostring.h"

/**
 * Remembers one value per text key: 83 fixed buckets chosen by CZelboString::hash, each a chain
 * in which a hit moves to the front, so that repeated lookups of one key stop at once.
 * Not thread-safe.
 */
template <typename Value>
class TextKeyTable {
public:
    static constexpr size_t kBucketCount = 83;

    /** The value under key, or null. A hit moves to the front of its chain. */
    Value* find(const CZelboString& key) {
        if (count_ == 0)
            return nullptr;
        Chain& chain = chainOf(key);
        const auto hit = locate(chain, key);
        if (hit == chain.end())
            return nullptr;
        chain.splice(chain.begin(), chain, hit);
        return &chain.front().second;
    }

    /** Adds key at the front of its chain; false when the key is present already. */
    bool insert(const CZelboString& key, Value value) {
        Chain& chain = chainOf(key);
        if (locate(chain, key) != chain.end())
            return false;
        chain.emplace_front(key, std::move(value));
        ++count_;
        return true;
    }

    /** Stores value under key and returns the value it replaces, if any. */
    std::optional<Value> replace(const CZelboString& key, Value value) {
        Chain& chain = chainOf(key);
        const auto hit = locate(chain, key);
        if (hit == chain.end()) {
            insert(key, std::move(value));
            return std::nullopt;
        }
        return std::exchange(hit->second, std::move(value));
    }

    void clear() {
        for (Chain& chain : buckets_)
            chain.clear();
        count_ = 0;
    }

    size_t count() const { return count_; }
    /** The keys of key's chain, front first (for inspecting the move-to-front order). */
    std::list<CZelboString> chainKeys(const CZelboString& key) const {
        std::list<CZelboString> keys;
        for (const auto& entry : buckets_[key.hash() % kBucketCount])
            keys.push_back(entry.first);
        return keys;
    }

private:
    using Chain = std::list<std::pair<CZelboString, Value>>;

    Chain& chainOf(const CZelboString& key) { return buckets_[key.hash() % kBucketCount]; }
    static typename Chain::iterator locate(Chain& chain, const CZelboString& key) {
        for (auto entry = chain.begin(); entry != chain.end(); ++entry) {
            if (entry->first == key)
                return entry;
        }
        return chain.end();
    }

    std::array<Chain, kBucketCount> buckets_;
    size_t count_ = 0;
};
