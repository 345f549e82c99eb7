#include "plistitems.h"

#include <cstdlib>

namespace plovik::devemu {

std::string toXml(plist_t node) {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    std::string text(xml != nullptr ? xml : "", length);
    std::free(xml);
    return text;
}

Plist fromBytes(const std::string& bytes) {
    plist_t node = nullptr;
    if (!bytes.empty()) {
        plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &node);
    }
    return Plist(node);
}

std::string stringItem(plist_t dictionary, const char* key) {
    const plist_t item = plist_get_node_type(dictionary) == PLIST_DICT
                             ? plist_dict_get_item(dictionary, key)
                             : nullptr;
    uint64_t length = 0;
    const char* text =
        plist_get_node_type(item) == PLIST_STRING ? plist_get_string_ptr(item, &length) : nullptr;
    return text != nullptr ? std::string(text, length) : std::string();
}

uint64_t uintItem(plist_t dictionary, const char* key) {
    const plist_t item = plist_get_node_type(dictionary) == PLIST_DICT
                             ? plist_dict_get_item(dictionary, key)
                             : nullptr;
    uint64_t value = 0;
    if (plist_get_node_type(item) == PLIST_UINT) {
        plist_get_uint_val(item, &value);
    }
    return value;
}

}  // namespace plovik::devemu
