#include "pairing.h"

#include "lockdownclient.h"
#include "log.h"
#include "sigpipeguard.h"

#include <usbmuxd.h>

#include <cstdlib>
#include <memory>

namespace plovik::usbmux {

namespace {

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

// The bytes of a data value, or the text of a string value.
std::optional<std::string> bytesOf(plist_t node) {
    uint64_t length = 0;
    if (plist_get_node_type(node) == PLIST_DATA) {
        const char* bytes = plist_get_data_ptr(node, &length);
        return bytes != nullptr ? std::optional<std::string>(std::string(bytes, length))
                                : std::nullopt;
    }
    if (plist_get_node_type(node) == PLIST_STRING) {
        const char* text = plist_get_string_ptr(node, &length);
        return text != nullptr ? std::optional<std::string>(std::string(text, length))
                               : std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> readValue(lockdownd_client_t client, const char* key,
                                     lockdownd_error_t* error) {
    plist_t value = nullptr;
    *error = lockdownd_get_value(client, nullptr, key, &value);
    const Plist owned(value);
    if (*error != LOCKDOWN_E_SUCCESS) {
        return std::nullopt;
    }
    return bytesOf(value);
}

std::string systemBuid() {
    char* buid = nullptr;
    usbmuxd_read_buid(&buid);
    const std::unique_ptr<char, decltype(&std::free)> owned(buid, &std::free);
    return buid != nullptr ? buid : "";
}

}  // namespace

lockdownd_error_t Pairing::request(idevice_t device) {
    const SigpipeGuard sigpipeGuard;
    lockdownd_client_t rawClient = nullptr;
    lockdownd_error_t error = lockdownd_client_new(device, &rawClient, "plovik");
    const LockdownClient client(rawClient);
    if (error != LOCKDOWN_E_SUCCESS) {
        return error;
    }
    char* type = nullptr;
    error = lockdownd_query_type(client.get(), &type);
    std::free(type);
    if (error != LOCKDOWN_E_SUCCESS) {
        return error;
    }

    const std::optional<std::string> publicKey = readValue(client.get(), "DevicePublicKey", &error);
    if (!publicKey) {
        logLine("%s: the device gives no key to pair with (%d)", udid_.c_str(), error);
        return error != LOCKDOWN_E_SUCCESS ? error : LOCKDOWN_E_INVALID_RESPONSE;
    }
    if (!record_) {
        record_ = HostPairRecord::make(*publicKey, systemBuid());
    } else if (record_->devicePublicKey != *publicKey && !record_->certifyDevice(*publicKey)) {
        record_.reset();
    }
    if (!record_) {
        logLine("%s: the device's key cannot be certified", udid_.c_str());
        return LOCKDOWN_E_SSL_ERROR;
    }
    // Read before pairing: some iOS versions drop the connection when asked afterwards.
    lockdownd_error_t ignored = LOCKDOWN_E_SUCCESS;
    const std::string wifiAddress = readValue(client.get(), "WiFiAddress", &ignored).value_or("");
    return sendPair(client.get(), wifiAddress);
}

lockdownd_error_t Pairing::sendPair(lockdownd_client_t client, const std::string& wifiAddress) {
    lockdownd_pair_record offered{
        const_cast<char*>(record_->deviceCertificate.c_str()),
        const_cast<char*>(record_->hostCertificate.c_str()),
        const_cast<char*>(record_->rootCertificate.c_str()),
        const_cast<char*>(record_->hostId.c_str()),
        const_cast<char*>(record_->systemBuid.c_str()),
    };
    const Plist options(plist_new_dict());
    plist_dict_set_item(options.get(), "ExtendedPairingErrors", plist_new_bool(1));
    plist_t rawReply = nullptr;
    const lockdownd_error_t error =
        lockdownd_pair_with_options(client, &offered, options.get(), &rawReply);
    const Plist reply(rawReply);
    if (error != LOCKDOWN_E_SUCCESS) {
        return error;
    }
    return saveRecord(reply.get(), wifiAddress);
}

lockdownd_error_t Pairing::saveRecord(plist_t pairReply, const std::string& wifiAddress) const {
    const Plist stored(record_->toStoredPlist());
    if (const plist_t escrowBag = plist_dict_get_item(pairReply, "EscrowBag");
        plist_get_node_type(escrowBag) == PLIST_DATA) {
        plist_dict_set_item(stored.get(), "EscrowBag", plist_copy(escrowBag));
    }
    if (!wifiAddress.empty()) {
        plist_dict_set_item(stored.get(), "WiFiMACAddress", plist_new_string(wifiAddress.c_str()));
    }
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(stored.get(), &bytes, &length);
    const std::unique_ptr<char, decltype(&std::free)> owned(bytes, &std::free);
    if (bytes == nullptr ||
        usbmuxd_save_pair_record_with_device_id(udid_.c_str(), muxId_, bytes, length) != 0) {
        logLine("%s: the device accepted the pairing, but usbmuxd did not save it", udid_.c_str());
        return LOCKDOWN_E_SAVE_PAIR_RECORD_FAILED;
    }
    return LOCKDOWN_E_SUCCESS;
}

}  // namespace plovik::usbmux
