#include "values/nsdictionary.h"

namespace ZelboLib {

Object* NSDictionary::objectForKey(const CZelboString& key) const {
    const auto entry = entries_.find(key);
    return entry == entries_.end() ? nullptr : entry->second;
}

void NSDictionary::setObjectForKey(const CZelboString& key, Object* object) {
    const auto [entry, inserted] = entries_.try_emplace(key, object);
    if (inserted)
        return;
    // An owned value that is replaced would otherwise be lost: nobody else holds it.
    if (ownsValues_ && entry->second != object)
        releaseObject(entry->second);
    entry->second = object;
}

void NSDictionary::removeAllObjects() {
    if (ownsValues_) {
        for (const auto& [key, value] : entries_)
            releaseObject(value);
    }
    entries_.clear();
}

}  // namespace ZelboLib
