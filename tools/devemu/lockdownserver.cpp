#include "lockdownserver.h"

#include "plistframing.h"
#include "serviceports.h"

namespace plovik::devemu {

namespace {

// The device's key for pairing, which the host certifies; public and fixed, so that pairings
// made with one run of the emulator are as good as those of the next.
constexpr char kDevicePublicKey[] =
    "-----BEGIN RSA PUBLIC KEY-----\n"
    "MIIBCgKCAQEA1ZRCZRXbZ1ITid3hXEi/Gk47Lfbhcl1FPJIc00SVYAcLfZrd17EA\n"
    "x4Uz4UpH57nSsgHDm/TzM5CGy0EZkP4emfhLXRSgJvlbqPqzGmgnvRyVApItaaFP\n"
    "56p5m2R74Pu+LXATR1+3XcYGFwlMVsmvLNr+JCVHofanjcwILt4G1+Yo0pEqqVDe\n"
    "sfHiPVYxnKmuP/GQWOnvL20d67Y+ond1cWXGvwrRAWK0VYmd6D7RTY3PiONg/R6o\n"
    "dvI8m7Las0cMCjHpFCd+tnj31ASEpp1JcS/Q8Jd1zt4dnzkb0ozSIU2ZN6sgEbco\n"
    "xzjwl+Xnn/01eF3H/jyg5Dl9hjkEB6RPywIDAQAB\n"
    "-----END RSA PUBLIC KEY-----\n";

void setError(plist_t reply, const char* name) {
    plist_dict_set_item(reply, "Error", plist_new_string(name));
}

}  // namespace

void LockdownServer::serve(int socket) {
    Plist request;
    while (receiveFramedPlist(socket, request)) {
        const Plist reply(plist_new_dict());
        if (plist_get_node_type(request.get()) != PLIST_DICT) {
            setError(reply.get(), "InvalidRequest");
        } else {
            const std::string name = stringItem(request.get(), "Request");
            plist_dict_set_item(reply.get(), "Request", plist_new_string(name.c_str()));
            answer(name, request.get(), reply.get());
        }
        if (!device_.send(socket, framedPlist(reply.get()))) {
            return;
        }
    }
}

void LockdownServer::answer(const std::string& name, plist_t request, plist_t reply) {
    if (name == "QueryType") {
        plist_dict_set_item(reply, "Type", plist_new_string("com.apple.mobile.lockdown"));
    } else if (name == "GetValue") {
        getValue(request, reply);
    } else if (name == "StartSession") {
        startSession(reply);
    } else if (name == "StopSession") {
        inSession_ = false;
        plist_dict_set_item(reply, "Result", plist_new_string("Success"));
    } else if (name == "StartService") {
        startService(request, reply);
    } else if (name == "Pair") {
        // Until the user unlocks the device and taps Trust (SIGHUP), nobody is there to.
        if (device_.acceptsPairing()) {
            plist_dict_set_item(reply, "EscrowBag", plist_new_data("devemu-escrow", 13));
        } else {
            setError(reply, device_.locked() ? "PasswordProtected" : "UserDeniedPairing");
        }
    } else if (name == "ValidatePair") {
        if (!device_.paired())
            setError(reply, "InvalidHostID");
    } else {
        setError(reply, "UnsupportedRequest");
    }
}

void LockdownServer::getValue(plist_t request, plist_t reply) const {
    const std::string domain = stringItem(request, "Domain");
    if (domain.empty() && stringItem(request, "Key") == "DevicePublicKey") {
        plist_dict_set_item(reply, "Value",
                            plist_new_data(kDevicePublicKey, sizeof kDevicePublicKey - 1));
        return;
    }
    plist_t source = device_.values();
    if (!domain.empty()) {
        source = plist_dict_get_item(source, domain.c_str());
    }
    const std::string key = stringItem(request, "Key");
    const plist_t value = key.empty() || plist_get_node_type(source) != PLIST_DICT
                              ? source
                              : plist_dict_get_item(source, key.c_str());
    if (value == nullptr || (key.empty() && plist_get_node_type(value) != PLIST_DICT)) {
        setError(reply, "MissingValue");
        return;
    }
    plist_dict_set_item(reply, "Value", plist_copy(value));
}

void LockdownServer::startSession(plist_t reply) {
    if (device_.locked()) {
        setError(reply, "PasswordProtected");
    } else if (!device_.paired()) {
        setError(reply, "InvalidHostID");
    } else {
        inSession_ = true;
        plist_dict_set_item(reply, "SessionID", plist_new_string("devemu-session"));
        plist_dict_set_item(reply, "EnableSessionSSL", plist_new_bool(0));
    }
}

void LockdownServer::startService(plist_t request, plist_t reply) const {
    const std::string service = stringItem(request, "Service");
    const uint16_t port = portOfService(service);
    if (!inSession_) {
        setError(reply, "SessionInactive");
    } else if (port == 0 || (service == "com.apple.afc2" &&
                             !device_.model()->folder().openSubfolder("Root").valid())) {
        setError(reply, "InvalidService");
    } else if (device_.faults().refuses(service)) {
        setError(reply, "ServiceProhibited");
    } else {
        plist_dict_set_item(reply, "Service", plist_new_string(service.c_str()));
        plist_dict_set_item(reply, "Port", plist_new_uint(port));
        plist_dict_set_item(reply, "EnableServiceSSL", plist_new_bool(0));
    }
}

}  // namespace plovik::devemu
