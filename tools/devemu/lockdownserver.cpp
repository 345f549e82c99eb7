#include "lockdownserver.h"

#include "devicekey.h"
#include "plistframing.h"
#include "publicvalues.h"
#include "serviceports.h"

#include <arpa/inet.h>
#include <openssl/rand.h>
#include <sys/socket.h>

#include <array>
#include <chrono>
#include <cstdio>

namespace plovik::devemu {

namespace {

void setError(plist_t reply, const char* name) {
    plist_dict_set_item(reply, "Error", plist_new_string(name));
}

// A fresh UUID-shaped session ID, as devices hand them out.
std::string newSessionId() {
    std::array<unsigned char, 16> bytes{};
    RAND_bytes(bytes.data(), static_cast<int>(bytes.size()));
    std::string id;
    for (std::size_t index = 0; index < bytes.size(); ++index) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", bytes[index]);
        id += digits;
        if (index == 3 || index == 5 || index == 7 || index == 9) {
            id += '-';
        }
    }
    return id;
}

// The device's clock, as every device reports it inside a session: seconds since 1970, a real.
constexpr char kClockKey[] = "TimeIntervalSince1970";

plist_t deviceClock() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return plist_new_real(std::chrono::duration<double>(sinceEpoch).count());
}

std::string hostIdOfPairRecord(plist_t request) {
    return stringItem(plist_dict_get_item(request, "PairRecord"), "HostID");
}

}  // namespace

void LockdownServer::waitForHostToClose() const {
    char discarded[512];
    while (::recv(socket_, discarded, sizeof discarded, 0) > 0) {
    }
}

void LockdownServer::serve(int socket) {
    socket_ = socket;
    device_.tally().lockdownConnectionOpened();
    Plist request;
    while (receive(request)) {
        const Plist reply(plist_new_dict());
        if (plist_get_node_type(request.get()) != PLIST_DICT) {
            setError(reply.get(), "InvalidRequest");
        } else {
            const std::string name = stringItem(request.get(), "Request");
            plist_dict_set_item(reply.get(), "Request", plist_new_string(name.c_str()));
            answer(name, request.get(), reply.get());
        }
        if (!send(reply.get())) {
            return;
        }
        if (tlsToStart_ && device_.faults().silentTls()) {
            waitForHostToClose();
            return;
        }
        if (tlsToStart_) {
            tls_ = TlsSession::accept(socket_, device_, *tlsToStart_);
            tlsToStart_.reset();
            if (!tls_) {
                return;
            }
            device_.tally().tlsHandshake(tls_->version());
        }
    }
}

bool LockdownServer::receive(Plist& request) {
    std::string message;
    while (tls_) {
        uint32_t length = 0;
        const TlsSession::Received received = tls_->read(&length, sizeof length);
        if (received == TlsSession::Received::HostClosed) {
            // The host goes on in plain text, and the session has ended with TLS.
            const bool answered = tls_->answerClose();
            tls_.reset();
            sessionId_.clear();
            if (!answered) {
                return false;
            }
            continue;
        }
        if (received != TlsSession::Received::Data || ntohl(length) > kLargestFramedMessage) {
            return false;
        }
        message.assign(ntohl(length), '\0');
        if (tls_->read(message.data(), message.size()) != TlsSession::Received::Data) {
            return false;
        }
        request = fromBytes(message);
        return true;
    }
    if (!receiveFramed(socket_, message)) {
        return false;
    }
    request = fromBytes(message);
    return true;
}

bool LockdownServer::send(plist_t reply) {
    const std::string bytes = framedPlist(reply);
    return tls_ ? tls_->write(bytes) : device_.send(socket_, bytes);
}

void LockdownServer::answer(const std::string& name, plist_t request, plist_t reply) {
    if (name == "QueryType") {
        plist_dict_set_item(reply, "Type", plist_new_string("com.apple.mobile.lockdown"));
    } else if (name == "GetValue") {
        getValue(request, reply);
    } else if (name == "Pair") {
        pair(request, reply);
    } else if (name == "ValidatePair") {
        validatePair(request, reply);
    } else if (name == "Unpair") {
        unpair(request, reply);
    } else if (name == "StartSession") {
        startSession(request, reply);
    } else if (name == "StopSession") {
        stopSession(request, reply);
    } else if (name == "StartService") {
        startService(request, reply);
    } else {
        setError(reply, "UnsupportedRequest");
    }
}

void LockdownServer::getValue(plist_t request, plist_t reply) const {
    const std::string domain = stringItem(request, "Domain");
    const std::string key = stringItem(request, "Key");
    if (domain.empty() && key == "DevicePublicKey") {
        const std::string& pem = DeviceKey::shared().publicKeyPem();
        plist_dict_set_item(reply, "Value", plist_new_data(pem.data(), pem.size()));
        return;
    }
    const bool inSession = !sessionId_.empty();
    if (!inSession && (!domain.empty() || !(key.empty() || sim::isPublicValue(key)))) {
        setError(reply, "GetProhibited");
        return;
    }
    plist_t source = device_.values();
    if (!domain.empty()) {
        source = plist_dict_get_item(source, domain.c_str());
    }
    if (key.empty() && !inSession) {
        plist_dict_set_item(reply, "Value", sim::publicValuesOf(source).release());
        return;
    }
    const plist_t value = key.empty() || plist_get_node_type(source) != PLIST_DICT
                              ? source
                              : plist_dict_get_item(source, key.c_str());
    // A device folder says nothing of the clock: the emulator's own is read when asked.
    if (value == nullptr && domain.empty() && key == kClockKey) {
        plist_dict_set_item(reply, "Value", deviceClock());
        return;
    }
    if (value == nullptr || (key.empty() && plist_get_node_type(value) != PLIST_DICT)) {
        setError(reply, "MissingValue");
        return;
    }
    const plist_t copied = plist_copy(value);
    // The whole dictionary tells the clock too, as a device's does.
    if (domain.empty() && key.empty() && plist_dict_get_item(copied, kClockKey) == nullptr) {
        plist_dict_set_item(copied, kClockKey, deviceClock());
    }
    plist_dict_set_item(reply, "Value", copied);
}

void LockdownServer::pair(plist_t request, plist_t reply) {
    const auto pairing =
        Pairing::fromPairRecord(plist_dict_get_item(request, "PairRecord"), DeviceKey::shared());
    if (!pairing) {
        setError(reply, "InvalidPairRecord");
    } else if (const char* refusal = device_.pairingRefusal()) {
        setError(reply, refusal);
    } else {
        device_.trustedHosts().remember(*pairing);
        plist_dict_set_item(reply, "EscrowBag", plist_new_data("devemu-escrow", 13));
    }
}

void LockdownServer::validatePair(plist_t request, plist_t reply) const {
    if (!device_.trustedHosts().find(hostIdOfPairRecord(request))) {
        setError(reply, "InvalidHostID");
    }
}

void LockdownServer::unpair(plist_t request, plist_t reply) {
    const std::string hostId = hostIdOfPairRecord(request);
    if (!device_.trustedHosts().find(hostId)) {
        setError(reply, "InvalidHostID");
        return;
    }
    device_.trustedHosts().forget(hostId);
}

void LockdownServer::startSession(plist_t request, plist_t reply) {
    const std::string hostId = stringItem(request, "HostID");
    if (!sessionId_.empty() || tls_) {
        setError(reply, "SessionActive");
    } else if (hostId.empty()) {
        setError(reply, "MissingHostID");
    } else if (device_.locked()) {
        setError(reply, "PasswordProtected");
    } else if (auto pairing = device_.trustedHosts().find(hostId); !pairing) {
        setError(reply, "InvalidHostID");
    } else {
        sessionId_ = newSessionId();
        const bool tls = device_.faults().sessionTls();
        if (tls) {
            tlsToStart_ = std::move(pairing);
        }
        plist_dict_set_item(reply, "SessionID", plist_new_string(sessionId_.c_str()));
        plist_dict_set_item(reply, "EnableSessionSSL", plist_new_bool(tls ? 1 : 0));
    }
}

void LockdownServer::stopSession(plist_t request, plist_t reply) {
    if (sessionId_.empty()) {
        setError(reply, "SessionInactive");
    } else if (stringItem(request, "SessionID") != sessionId_) {
        setError(reply, "InvalidSessionID");
    } else {
        // Answered inside TLS, which lasts until the host's close_notify.
        sessionId_.clear();
        plist_dict_set_item(reply, "Result", plist_new_string("Success"));
    }
}

void LockdownServer::startService(plist_t request, plist_t reply) const {
    const std::string service = stringItem(request, "Service");
    const uint16_t port = portOfService(service);
    if (sessionId_.empty()) {
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
