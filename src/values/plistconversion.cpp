#include "values/plistconversion.h"

#include <cmath>
#include <string_view>

#include "values/cautostring.h"
#include "values/cbool.h"
#include "values/cint64.h"
#include "values/nsarray.h"
#include "values/unicode.h"

namespace ZelboLib {

namespace {

// libplist keeps every integer in 64 bits and marks those above INT64_MAX apart from negative
// ones; a node made from the same bits compares equal only in the negative case.
bool integerFitsInt64(plist_t node, uint64_t bits) {
    if (static_cast<int64_t>(bits) >= 0)
        return true;
    const PlistPtr sameBits(plist_new_uint(bits));
    return plist_compare_node_value(node, sameBits.get()) != 0;
}

bool realIsInt64(double value) {
    return std::isfinite(value) && value == std::trunc(value) && value >= -0x1p63 && value < 0x1p63;
}

Owned<Object> convert(plist_t value, int depth) {
    switch (plist_get_node_type(value)) {
        case PLIST_STRING: {
            CZelboString text;
            textFromPlistString(value, text);
            return Owned<Object>(new CAutoString(std::move(text)));
        }
        case PLIST_UINT: {
            uint64_t bits = 0;
            plist_get_uint_val(value, &bits);
            if (!integerFitsInt64(value, bits))
                return nullptr;
            return Owned<Object>(new CInt64(static_cast<int64_t>(bits)));
        }
        case PLIST_REAL: {
            double real = 0;
            plist_get_real_val(value, &real);
            if (!realIsInt64(real))
                return nullptr;
            return Owned<Object>(new CInt64(static_cast<int64_t>(real)));
        }
        case PLIST_BOOLEAN: {
            uint8_t flag = 0;
            plist_get_bool_val(value, &flag);
            return Owned<Object>(new CBool(flag != 0));
        }
        case PLIST_ARRAY: {
            // A hostile reply must not exhaust the stack.
            if (depth >= kMaxPlistNesting)
                return nullptr;
            Owned<NSArray> array(new NSArray(true));
            const uint32_t count = plist_array_get_size(value);
            for (uint32_t i = 0; i < count; ++i) {
                if (Owned<Object> element = convert(plist_array_get_item(value, i), depth + 1)) {
                    array->addObject(element.release());
                }
            }
            return array;
        }
        default:
            return nullptr;
    }
}

}  // namespace

Owned<Object> objectFromPlist(plist_t value) {
    return value ? convert(value, 0) : nullptr;
}

void textFromPlistString(plist_t string, CZelboString& out) {
    if (string == nullptr || plist_get_node_type(string) != PLIST_STRING)
        return;
    uint64_t length = 0;
    const char* bytes = plist_get_string_ptr(string, &length);
    if (bytes == nullptr)
        return;
    out.assignAnsi(utf8ToAnsi(std::string_view(bytes, length)).c_str());
}

bool stringForKey(plist_t dictionary, const char* key, CZelboString& out) {
    if (dictionary == nullptr || plist_get_node_type(dictionary) != PLIST_DICT)
        return false;
    plist_t value = plist_dict_get_item(dictionary, key);
    if (value == nullptr)
        return false;
    textFromPlistString(value, out);
    return true;
}

PlistPtr plistStringFromText(const CZelboString& text) {
    return PlistPtr(plist_new_string(text.toUtf8().c_str()));
}

}  // namespace ZelboLib
