#include "standinlockdown.h"

#include "plistframing.h"
#include "socketio.h"
#include "standinmux.h"

namespace standin {

namespace {

using namespace plovik::devemu;

// The key a device offers to be certified when the host pairs.
constexpr char kDevicePublicKey[] =
    "-----BEGIN RSA PUBLIC KEY-----\n"
    "MIGJAoGBAOU8qXQdeGNxAXgSDmOY0D5B6Wn1JTCZsVtfJj8wAJKENK6wDP4eONr+\n"
    "9+r/f0AtOofizqxeOA+Q/DizHXIBIHJIua6iLsdo+n9H6iw17Mw3sQTAzaAaP8y/\n"
    "MHu4ErgavN2fZ6uCHvSERNCGLyhudg85hsB/MkbpJYR8sdMh8XxPAgMBAAE=\n"
    "-----END RSA PUBLIC KEY-----\n";

plist_t value(const DeviceState& device, const std::string& domain, const std::string& key) {
    if (domain.empty() && key == "DevicePublicKey") {
        return plist_new_data(kDevicePublicKey, sizeof kDevicePublicKey - 1);
    }
    if (domain.empty() && key == "ProductVersion") {
        return plist_new_string("14.0");
    }
    if (domain.empty() && key == "DeviceName") {
        return plist_new_string("Stand-in");
    }
    if (domain.empty() && key == "UniqueDeviceID") {
        return plist_new_string(device.udid.c_str());
    }
    if (domain == "com.apple.mobile.battery" && key == "BatteryCurrentCapacity") {
        return plist_new_uint(80);
    }
    return nullptr;
}

void answer(const DeviceState& device, const std::string& name, plist_t request, plist_t reply) {
    if (name == "QueryType") {
        plist_dict_set_item(reply, "Type", plist_new_string("com.apple.mobile.lockdown"));
    } else if (name == "GetValue") {
        const plist_t found =
            value(device, stringItem(request, "Domain"), stringItem(request, "Key"));
        plist_dict_set_item(reply, found ? "Value" : "Error",
                            found ? found : plist_new_string("MissingValue"));
    } else if (name == "StartSession") {
        if (!device.sessionError.empty()) {
            plist_dict_set_item(reply, "Error", plist_new_string(device.sessionError.c_str()));
        } else {
            plist_dict_set_item(reply, "SessionID", plist_new_string("session-1"));
            plist_dict_set_item(reply, "EnableSessionSSL", plist_new_bool(0));
        }
    } else if (name == "Pair") {
        // Nobody taps Trust on a stand-in: it becomes paired when the test says so.
        plist_dict_set_item(reply, "Error", plist_new_string("PairingDialogResponsePending"));
    } else if (name == "StopSession") {
        plist_dict_set_item(reply, "Result", plist_new_string("Success"));
    } else if (name == "StartService") {
        const std::string service = stringItem(request, "Service");
        const uint16_t port = service == "com.apple.afc"       ? StandInMux::kAfcPort
                              : service == "com.plovik.silent" ? StandInMux::kSilentPort
                              : service == "com.plovik.deaf"   ? StandInMux::kDeafPort
                                                               : 0;
        if (port == 0) {
            plist_dict_set_item(reply, "Error", plist_new_string("InvalidService"));
        } else {
            plist_dict_set_item(reply, "Service", plist_new_string(service.c_str()));
            plist_dict_set_item(reply, "Port", plist_new_uint(port));
            plist_dict_set_item(reply, "EnableServiceSSL", plist_new_bool(0));
        }
    } else {
        plist_dict_set_item(reply, "Error", plist_new_string("UnsupportedRequest"));
    }
}

}  // namespace

void serveLockdown(int socket, const std::function<std::optional<DeviceState>()>& state) {
    Plist request;
    while (receiveFramedPlist(socket, request) && request != nullptr) {
        const std::optional<DeviceState> device = state();
        if (!device) {
            return;
        }
        const std::string name = stringItem(request.get(), "Request");
        const Plist reply(plist_new_dict());
        plist_dict_set_item(reply.get(), "Request", plist_new_string(name.c_str()));
        answer(*device, name, request.get(), reply.get());
        const std::string packet = framedPlist(reply.get());
        if (!writeAll(socket, packet.data(), packet.size())) {
            return;
        }
    }
}

}  // namespace standin
