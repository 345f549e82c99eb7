#include "lockdownserver.h"

#include "plistframing.h"
#include "serviceports.h"

namespace plovik::devemu {

namespace {

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
    } else if (name == "Pair" || name == "ValidatePair") {
        // Nobody is there to tap Trust.
        setError(reply, device_.locked() ? "PasswordProtected" : "UserDeniedPairing");
    } else {
        setError(reply, "UnsupportedRequest");
    }
}

void LockdownServer::getValue(plist_t request, plist_t reply) const {
    plist_t source = device_.values();
    const std::string domain = stringItem(request, "Domain");
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
