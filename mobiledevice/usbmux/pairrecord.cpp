#include "pairrecord.h"

#include <plist/plist.h>
#include <usbmuxd.h>

#include <cstdlib>
#include <memory>

namespace plovik::usbmux {

std::optional<std::string> readPairRecordHostId(const std::string& udid) {
    char* data = nullptr;
    uint32_t size = 0;
    const int result = usbmuxd_read_pair_record(udid.c_str(), &data, &size);
    const std::unique_ptr<char, decltype(&std::free)> ownedData(data, &std::free);
    if (result < 0 || data == nullptr || size == 0) {
        return std::nullopt;
    }
    plist_t parsed = nullptr;
    plist_from_memory(data, size, &parsed);
    const std::unique_ptr<void, decltype(&plist_free)> record(parsed, &plist_free);
    const plist_t hostId =
        plist_get_node_type(parsed) == PLIST_DICT ? plist_dict_get_item(parsed, "HostID") : nullptr;
    if (plist_get_node_type(hostId) != PLIST_STRING) {
        return std::nullopt;
    }
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(hostId, &length);
    if (text == nullptr || length == 0) {
        return std::nullopt;
    }
    return std::string(text, length);
}

}  // namespace plovik::usbmux
