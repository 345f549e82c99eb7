#ifndef PLOVIK_SIM_PLISTNODES_H
#define PLOVIK_SIM_PLISTNODES_H

#include <plist/plist.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace plovik::sim {

struct PlistDeleter {
    void operator()(plist_t node) const noexcept { plist_free(node); }
};

// A property-list node with one owner.
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// The text of a PLIST_STRING node; nothing for any other node, or for null.
std::optional<std::string> stringValue(plist_t node);

// The value of a dictionary's string entry; nothing when missing or not a string.
std::optional<std::string> stringEntry(plist_t dictionary, const char* key);

bool isDictionary(plist_t node);

// Parses XML or binary property-list bytes; null when they are not a property list.
PlistPtr plistFromBytes(const char* bytes, std::size_t length);

// The node as an XML property list.
std::string plistToXml(plist_t node);

}  // namespace plovik::sim

#endif
