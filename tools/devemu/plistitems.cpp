#include "plistitems.h"

#include <cstdlib>
#include <vector>

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

namespace {

// The item under key, null when dictionary is no dictionary or has none.
plist_t itemOf(plist_t dictionary, const char* key) {
    return plist_get_node_type(dictionary) == PLIST_DICT ? plist_dict_get_item(dictionary, key)
                                                         : nullptr;
}

}  // namespace

std::string stringItem(plist_t dictionary, const char* key) {
    const plist_t item = itemOf(dictionary, key);
    uint64_t length = 0;
    const char* text =
        plist_get_node_type(item) == PLIST_STRING ? plist_get_string_ptr(item, &length) : nullptr;
    return text != nullptr ? std::string(text, length) : std::string();
}

std::string dataItem(plist_t dictionary, const char* key) {
    const plist_t item = itemOf(dictionary, key);
    uint64_t length = 0;
    const char* bytes =
        plist_get_node_type(item) == PLIST_DATA ? plist_get_data_ptr(item, &length) : nullptr;
    return bytes != nullptr ? std::string(bytes, length) : std::string();
}

uint64_t uintItem(plist_t dictionary, const char* key) {
    const plist_t item = itemOf(dictionary, key);
    uint64_t value = 0;
    if (plist_get_node_type(item) == PLIST_UINT) {
        plist_get_uint_val(item, &value);
    }
    return value;
}

namespace {

void appendBigEndian(std::string& bytes, uint64_t value, int size) {
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) {
        bytes += static_cast<char>((value >> shift) & 0xFF);
    }
}

}  // namespace

std::string nestedBinaryPlist(uint16_t depth) {
    // Object i is an array of one reference, to object i + 1; the last is empty.
    std::string bytes = "bplist00";
    std::vector<uint64_t> offsets;
    for (uint64_t object = 0; object < depth; ++object) {
        offsets.push_back(bytes.size());
        bytes += '\xA1';
        appendBigEndian(bytes, object + 1, 2);
    }
    offsets.push_back(bytes.size());
    bytes += '\xA0';
    const uint64_t offsetTable = bytes.size();
    for (const uint64_t offset : offsets) {
        appendBigEndian(bytes, offset, 4);
    }
    bytes.append(6, '\0');
    bytes += '\x04';  // offset size
    bytes += '\x02';  // reference size
    appendBigEndian(bytes, offsets.size(), 8);
    appendBigEndian(bytes, 0, 8);
    appendBigEndian(bytes, offsetTable, 8);
    return bytes;
}

}  // namespace plovik::devemu
