#include "pairrecord.h"

#include <usbmuxd.h>

#include <cstdlib>
#include <memory>

namespace plovik::usbmux {

namespace {

// A string or data item of the record as text; empty when it holds neither.
std::string textItem(plist_t record, const char* key) {
    const plist_t item = plist_dict_get_item(record, key);
    uint64_t length = 0;
    if (plist_get_node_type(item) == PLIST_STRING) {
        const char* text = plist_get_string_ptr(item, &length);
        return text != nullptr ? std::string(text, length) : std::string();
    }
    if (plist_get_node_type(item) == PLIST_DATA) {
        const char* bytes = plist_get_data_ptr(item, &length);
        return bytes != nullptr ? std::string(bytes, length) : std::string();
    }
    return {};
}

}  // namespace

std::optional<SessionCredentials> readSessionCredentials(const std::string& udid) {
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
    if (plist_get_node_type(parsed) != PLIST_DICT ||
        plist_get_node_type(plist_dict_get_item(parsed, "HostID")) != PLIST_STRING) {
        return std::nullopt;
    }
    SessionCredentials credentials{textItem(parsed, "HostID"), textItem(parsed, "RootCertificate"),
                                   textItem(parsed, "RootPrivateKey"), PlistHandle(plist_copy(parsed))};
    if (credentials.hostId.empty()) {
        return std::nullopt;
    }
    plist_dict_remove_item(credentials.publicRecord.get(), "RootPrivateKey");
    plist_dict_remove_item(credentials.publicRecord.get(), "HostPrivateKey");
    return credentials;
}

}  // namespace plovik::usbmux
