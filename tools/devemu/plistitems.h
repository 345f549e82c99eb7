// Property-list helpers of the wire code: owned nodes, XML text, and typed dictionary entries.
#ifndef PLOVIK_DEVEMU_PLISTITEMS_H
#define PLOVIK_DEVEMU_PLISTITEMS_H

#include <plist/plist.h>

#include <cstdint>
#include <memory>
#include <string>

namespace plovik::devemu {

struct PlistDeleter {
    void operator()(void* node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

std::string toXml(plist_t node);
// Null when the bytes are not an XML or binary property list.
Plist fromBytes(const std::string& bytes);
// Empty, or 0, when the entry is missing or of another type.
std::string stringItem(plist_t dictionary, const char* key);
std::string dataItem(plist_t dictionary, const char* key);
uint64_t uintItem(plist_t dictionary, const char* key);
// A binary property list of arrays, each holding the next, depth deep (at most 65535).
std::string nestedBinaryPlist(uint16_t depth);

}  // namespace plovik::devemu

#endif
