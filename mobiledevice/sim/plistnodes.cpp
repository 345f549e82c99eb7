#include "plistnodes.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace plovik::sim {

std::optional<std::string> stringValue(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) {
        return std::nullopt;
    }
    char* text = nullptr;
    plist_get_string_val(node, &text);
    if (text == nullptr) {
        return std::nullopt;
    }
    std::string result(text);
    std::free(text);
    return result;
}

std::optional<std::string> stringEntry(plist_t dictionary, const char* key) {
    if (!isDictionary(dictionary)) {
        return std::nullopt;
    }
    return stringValue(plist_dict_get_item(dictionary, key));
}

bool isDictionary(plist_t node) {
    return node != nullptr && plist_get_node_type(node) == PLIST_DICT;
}

PlistPtr plistFromBytes(const char* bytes, std::size_t length) {
    if (bytes == nullptr || length == 0 || length > std::numeric_limits<uint32_t>::max()) {
        return nullptr;
    }
    plist_t node = nullptr;
    plist_from_memory(bytes, static_cast<uint32_t>(length), &node);
    return PlistPtr(node);
}

std::string plistToXml(plist_t node) {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    if (xml == nullptr) {
        return {};
    }
    std::string result(xml, length);
    plist_to_xml_free(xml);
    return result;
}

}  // namespace plovik::sim
