#pragma once

#include <plist/plist.h>

#include <memory>

#include "values/object.h"

/** Owns a libplist node and frees it with plist_free. */
struct PlistDeleter {
    void operator()(plist_t node) const noexcept { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

namespace ZelboLib {

/** objectFromPlist converts arrays nested this deep at most; deeper ones become null. */
inline constexpr int kMaxPlistNesting = 64;

/**
 * A new value object for a property-list value, or null:
 * - string: CAutoString;
 * - integer that fits a signed 64-bit value, or a real that is exactly such an integer: CInt64;
 * - boolean: CBool;
 * - array: an owning NSArray of the elements that convert, in order (others are skipped; an
 *   empty array stays an empty NSArray), up to kMaxPlistNesting arrays deep;
 * - anything else (dictionary, data, date, uid): null.
 * The value stays the caller's.
 */
Owned<Object> objectFromPlist(plist_t value);

/** Fills out from a PLIST_STRING node (ill-formed UTF-8 becomes U+FFFD); other nodes leave out
    unchanged. */
void textFromPlistString(plist_t string, CZelboString& out);

/** When dictionary holds a non-null value under key, fills out from it and returns true;
    otherwise leaves out unchanged and returns false. */
bool stringForKey(plist_t dictionary, const char* key, CZelboString& out);

/** A new PLIST_STRING node holding text as UTF-8. */
PlistPtr plistStringFromText(const CZelboString& text);

}  // namespace ZelboLib
