// A property list from a device as a reply's body is taken: a binary one walked by
// checkBinaryPlist first and parsed only when it passes, then converted to value objects, and
// every dictionary's strings read as texts.
#include <plist/plist.h>

#include <span>

#include "device/binaryplistcheck.h"
#include "fuzztargets.h"
#include "values/object.h"
#include "values/plistconversion.h"

namespace {

// As deep as a reply may nest: its dictionary, the arrays the conversion takes, their values.
constexpr int kMaxDepth = ZelboLib::kMaxPlistNesting + 2;

// Keys the core reads from replies. Dictionaries are read by key only, as the core reads them:
// libplist's iteration asserts on a key holding a NUL, which a device can send.
constexpr const char* kKeys[] = {"Status",
                                 "Error",
                                 "CurrentList",
                                 "CFBundleIdentifier",
                                 "CFBundleDisplayName",
                                 "CFBundleName",
                                 "CFBundleExecutable"};

void readTexts(plist_t node, int depth) {
    if (depth > kMaxDepth)
        return;
    CZelboString text;
    ZelboLib::textFromPlistString(node, text);
    if (plist_get_node_type(node) == PLIST_DICT) {
        for (const char* key : kKeys) {
            ZelboLib::stringForKey(node, key, text);
            if (const plist_t value = plist_dict_get_item(node, key))
                readTexts(value, depth + 1);
        }
    } else if (plist_get_node_type(node) == PLIST_ARRAY) {
        for (uint32_t i = 0; i < plist_array_get_size(node); ++i)
            readTexts(plist_array_get_item(node, i), depth + 1);
    }
}

}  // namespace

void fuzzPlistConversion(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    if (isBinaryPlist(bytes)) {
        const BinaryPlistCheck check = checkBinaryPlist(bytes, kMaxDepth, size);
        if (check != BinaryPlistCheck::Acceptable)
            return;
    }
    plist_t parsed = nullptr;
    plist_from_memory(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size), &parsed);
    const PlistPtr root(parsed);
    if (root == nullptr)
        return;
    const ZelboLib::Owned<ZelboLib::Object> object = ZelboLib::objectFromPlist(root.get());
    if (object != nullptr)
        object->description();
    readTexts(root.get(), 1);
}
