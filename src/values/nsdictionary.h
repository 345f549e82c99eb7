#pragma once

#include <map>

#include "values/object.h"

namespace ZelboLib {

/**
 * Objects under text keys, ordered by the keys' code units (a prefix first). An owning dictionary
 * (the flag is fixed at construction) releases its values when they are removed or replaced and
 * when it is destroyed.
 */
class NSDictionary : public Object {
public:
    using Entries = std::map<CZelboString, Object*, ZelboStringLess>;

    explicit NSDictionary(bool ownsValues) : Object(kTypeDictionary), ownsValues_(ownsValues) {}
    ~NSDictionary() override { removeAllObjects(); }

    bool ownsValues() const { return ownsValues_; }
    bool containsKey(const CZelboString& key) const { return entries_.contains(key); }
    /** The value under key, or null. */
    Object* objectForKey(const CZelboString& key) const;
    /** Inserts, or replaces the value of an existing key. */
    void setObjectForKey(const CZelboString& key, Object* object);
    void removeAllObjects();
    int count() const { return static_cast<int>(entries_.size()); }
    bool isEmpty() const { return entries_.empty(); }
    const Entries& entries() const { return entries_; }

private:
    bool ownsValues_;
    Entries entries_;
};

}  // namespace ZelboLib
