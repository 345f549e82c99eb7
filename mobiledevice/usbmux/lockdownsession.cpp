#include "lockdownsession.h"

#include "lockdownreply.h"

#include <usbmuxd.h>

#include <cstdio>
#include <cstdlib>

namespace plovik::usbmux {

namespace {

constexpr char kLabel[] = "plovik";
constexpr char kProtocolVersion[] = "2";

PlistHandle requestNamed(const char* name) {
    PlistHandle request(plist_new_dict());
    plist_dict_set_item(request.get(), "Label", plist_new_string(kLabel));
    plist_dict_set_item(request.get(), "Request", plist_new_string(name));
    return request;
}

bool trueItem(plist_t dictionary, const char* key) {
    const plist_t item = plist_dict_get_item(dictionary, key);
    uint8_t value = 0;
    if (plist_get_node_type(item) == PLIST_BOOLEAN) {
        plist_get_bool_val(item, &value);
    }
    return value != 0;
}

}  // namespace

LockdownSession::LockdownSession(std::unique_ptr<LockdownChannel> channel)
    : channel_(std::move(channel)) {}

std::unique_ptr<LockdownSession> LockdownSession::open(idevice_t device,
                                                       const SessionCredentials& credentials,
                                                       uint32_t* iosVersion,
                                                       lockdownd_error_t* error) {
    std::unique_ptr<LockdownChannel> channel = LockdownChannel::open(device, error);
    if (!channel) {
        return nullptr;
    }
    std::unique_ptr<LockdownSession> session(new LockdownSession(std::move(channel)));
    if ((*error = session->queryType()) != LOCKDOWN_E_SUCCESS) {
        return nullptr;
    }
    if (*iosVersion == 0) {
        session->readIosVersion(iosVersion);
    }
    if (*iosVersion < version(7, 0, 0) &&
        (*error = session->validatePair(credentials)) != LOCKDOWN_E_SUCCESS) {
        return nullptr;
    }
    if ((*error = session->startSession(credentials, *iosVersion)) != LOCKDOWN_E_SUCCESS) {
        return nullptr;
    }
    return session;
}

LockdownSession::~LockdownSession() {
    if (sessionId_.empty()) {
        return;
    }
    PlistHandle request = requestNamed("StopSession");
    plist_dict_set_item(request.get(), "SessionID", plist_new_string(sessionId_.c_str()));
    PlistHandle reply;
    exchange(request, &reply);
}

lockdownd_error_t LockdownSession::exchange(const PlistHandle& request, PlistHandle* reply) {
    if (const lockdownd_error_t error = channel_->send(request.get());
        error != LOCKDOWN_E_SUCCESS) {
        return error;
    }
    return channel_->receive(reply);
}

lockdownd_error_t LockdownSession::exchangeChecked(const PlistHandle& request, const char* name,
                                                   PlistHandle* reply) {
    if (const lockdownd_error_t error = exchange(request, reply); error != LOCKDOWN_E_SUCCESS) {
        return error;
    }
    return checkLockdownReply(reply->get(), name);
}

lockdownd_error_t LockdownSession::queryType() {
    PlistHandle reply;
    if (const lockdownd_error_t error = exchange(requestNamed("QueryType"), &reply);
        error != LOCKDOWN_E_SUCCESS) {
        return error;
    }
    // Only the Type is looked at, as libimobiledevice does.
    return replyString(reply.get(), "Type") != nullptr ? LOCKDOWN_E_SUCCESS
                                                      : LOCKDOWN_E_UNKNOWN_ERROR;
}

void LockdownSession::readIosVersion(uint32_t* iosVersion) {
    plist_t value = nullptr;
    if (getValue(nullptr, "ProductVersion", &value) != LOCKDOWN_E_SUCCESS) {
        return;
    }
    const PlistHandle owned(value);
    uint64_t length = 0;
    const char* text = plist_get_node_type(value) == PLIST_STRING
                           ? plist_get_string_ptr(value, &length)
                           : nullptr;
    unsigned major = 0;
    unsigned minor = 0;
    unsigned patch = 0;
    if (text != nullptr && std::sscanf(text, "%u.%u.%u", &major, &minor, &patch) >= 2 &&
        major < 256 && minor < 256 && patch < 256) {
        *iosVersion = version(major, minor, patch);
    }
}

lockdownd_error_t LockdownSession::validatePair(const SessionCredentials& credentials) {
    PlistHandle request = requestNamed("ValidatePair");
    plist_dict_set_item(request.get(), "PairRecord", plist_copy(credentials.publicRecord.get()));
    plist_dict_set_item(request.get(), "ProtocolVersion", plist_new_string(kProtocolVersion));
    PlistHandle reply;
    if (const lockdownd_error_t error = exchange(request, &reply); error != LOCKDOWN_E_SUCCESS) {
        return error;
    }
    return checkLockdownReply(reply.get(), "ValidatePair") == LOCKDOWN_E_SUCCESS
               ? LOCKDOWN_E_SUCCESS
               : LOCKDOWN_E_PAIRING_FAILED;
}

lockdownd_error_t LockdownSession::startSession(const SessionCredentials& credentials,
                                                uint32_t iosVersion) {
    PlistHandle request = requestNamed("StartSession");
    plist_dict_set_item(request.get(), "HostID", plist_new_string(credentials.hostId.c_str()));
    char* buid = nullptr;
    if (usbmuxd_read_buid(&buid) == 0 && buid != nullptr) {
        plist_dict_set_item(request.get(), "SystemBUID", plist_new_string(buid));
    }
    std::free(buid);
    PlistHandle reply;
    if (const lockdownd_error_t error = exchangeChecked(request, "StartSession", &reply);
        error != LOCKDOWN_E_SUCCESS) {
        return error;
    }
    if (const char* sessionId = replyString(reply.get(), "SessionID")) {
        sessionId_ = sessionId;
    }
    if (!trueItem(reply.get(), "EnableSessionSSL")) {
        return LOCKDOWN_E_SUCCESS;
    }
    const lockdownd_error_t error =
        channel_->startTls(credentials.rootCertificate, credentials.rootPrivateKey,
                           iosVersion < version(10, 0, 0));
    if (error != LOCKDOWN_E_SUCCESS) {
        sessionId_.clear();  // a stream whose TLS failed carries no StopSession
    }
    return error;
}

lockdownd_error_t LockdownSession::getValue(const char* domain, const char* key, plist_t* value) {
    PlistHandle request = requestNamed("GetValue");
    if (domain != nullptr) {
        plist_dict_set_item(request.get(), "Domain", plist_new_string(domain));
    }
    if (key != nullptr) {
        plist_dict_set_item(request.get(), "Key", plist_new_string(key));
    }
    PlistHandle reply;
    if (const lockdownd_error_t error = exchangeChecked(request, "GetValue", &reply);
        error != LOCKDOWN_E_SUCCESS) {
        return error;
    }
    if (const plist_t found = plist_dict_get_item(reply.get(), "Value")) {
        *value = plist_copy(found);
    }
    return LOCKDOWN_E_SUCCESS;
}

lockdownd_error_t LockdownSession::startService(const char* name,
                                                lockdownd_service_descriptor* service) {
    PlistHandle request = requestNamed("StartService");
    plist_dict_set_item(request.get(), "Service", plist_new_string(name));
    PlistHandle reply;
    if (const lockdownd_error_t error = exchangeChecked(request, "StartService", &reply);
        error != LOCKDOWN_E_SUCCESS) {
        // A refusal may carry Result as well as the Error that says why.
        const char* named = reply ? replyString(reply.get(), "Error") : nullptr;
        return named != nullptr ? lockdownErrorNamed(named) : error;
    }
    const plist_t port = plist_dict_get_item(reply.get(), "Port");
    uint64_t number = 0;
    if (plist_get_node_type(port) == PLIST_UINT) {
        plist_get_uint_val(port, &number);
    }
    if (number == 0 || number > UINT16_MAX) {
        return LOCKDOWN_E_INVALID_RESPONSE;
    }
    service->port = static_cast<uint16_t>(number);
    service->ssl_enabled = trueItem(reply.get(), "EnableServiceSSL") ? 1 : 0;
    service->identifier = nullptr;
    return LOCKDOWN_E_SUCCESS;
}

}  // namespace plovik::usbmux
