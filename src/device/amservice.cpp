#include "device/amservice.h"

#include <arpa/inet.h>

#include <memory>
#include <span>

#include "device/binaryplistcheck.h"
#include "device/mobiledevicecalls.h"

namespace {

// A device that stops answering must not hold a receiving thread (and the window waiting on it)
// forever: after this long a receive fails like a closed connection.
constexpr uint32_t kReceiveTimeoutMilliseconds = 30000;

// The message's dictionary, as many arrays as the conversion takes, and the values in them.
constexpr int kMaxReplyDepth = ZelboLib::kMaxPlistNesting + 2;

struct PlistBuffer {
    void operator()(char* bytes) const noexcept { free(bytes); }
};

const char16_t* refusalText(BinaryPlistCheck check) {
    switch (check) {
        case BinaryPlistCheck::TooDeep:
            return u"Reply is nested too deeply";
        case BinaryPlistCheck::TooLarge:
            return u"Reply holds too many values";
        default:
            return u"Reply is not a property list";
    }
}

}  // namespace

AMService::~AMService() {
    if (serviceHandle_ != nullptr)
        MobileDevice::AMDServiceConnectionInvalidate(serviceHandle_);
}

void AMService::adoptServiceHandle(AMDServiceConnectionRef handle) {
    if (serviceHandle_ != nullptr)
        MobileDevice::AMDServiceConnectionInvalidate(serviceHandle_);
    serviceHandle_ = handle;
    if (handle != nullptr) {
        MobileDevice::AMDServiceConnectionSetReceiveTimeout(handle, kReceiveTimeoutMilliseconds);
    }
}

bool AMService::sendAll(const void* bytes, size_t length) {
    const auto* next = static_cast<const uint8_t*>(bytes);
    while (length > 0) {
        const int64_t sent = MobileDevice::AMDServiceConnectionSend(serviceHandle_, next, length);
        if (sent <= 0)
            return false;
        next += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

size_t AMService::receiveAll(void* buffer, size_t length) {
    auto* next = static_cast<uint8_t*>(buffer);
    while (length > 0) {
        const int64_t received =
            MobileDevice::AMDServiceConnectionReceive(serviceHandle_, next, length);
        if (received <= 0)
            break;
        next += received;
        length -= static_cast<size_t>(received);
    }
    return length;
}

bool AMService::sendMessage(plist_t message) {
    char* xml = nullptr;
    uint32_t xmlLength = 0;
    if (message != nullptr)
        plist_to_xml(message, &xml, &xmlLength);
    const std::unique_ptr<char, PlistBuffer> body(xml);
    if (!body) {
        setLastErrorText(u"Can't convert request to xml data");
        return false;
    }
    const uint32_t size = htonl(xmlLength);
    if (!sendAll(&size, sizeof size)) {
        setLastErrorText(u"Can't send message size");
        return false;
    }
    if (!sendAll(body.get(), xmlLength)) {
        setLastErrorText(u"Can't send message text");
        return false;
    }
    setLastErrorText({});
    return true;
}

PlistPtr AMService::receiveMessage() {
    uint32_t size = 0;
    if (receiveAll(&size, sizeof size) != 0) {
        setLastErrorText(u"Can't receive message size");
        return nullptr;
    }
    const uint32_t length = ntohl(size);
    if (length == 0)
        return nullptr;
    if (length > kMaxMessageLength) {
        CZelboString text;
        text.format(u"Reply is too large: %u bytes", length);
        setLastErrorText(std::move(text));
        return nullptr;
    }
    const std::unique_ptr<char[]> body(new char[length]);
    if (const size_t missing = receiveAll(body.get(), length); missing != 0) {
        CZelboString text;
        text.format(u"Reply was truncated, expected %d more bytes", missing);
        setLastErrorText(std::move(text));
        return nullptr;
    }
    // libplist's binary parser recurses once per level and copies shared objects: a hostile
    // reply is refused before it sees it. Every node of an unshared tree takes a byte at least.
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(body.get()), length);
    if (isBinaryPlist(bytes)) {
        const BinaryPlistCheck check = checkBinaryPlist(bytes, kMaxReplyDepth, length);
        if (check != BinaryPlistCheck::Acceptable) {
            setLastErrorText(refusalText(check));
            return nullptr;
        }
    }
    plist_t reply = nullptr;
    plist_from_memory(body.get(), length, &reply);
    // A garbled reply is a failure the caller can tell from a message that never came.
    setLastErrorText(reply ? CZelboString() : CZelboString(u"Reply is not a property list"));
    return PlistPtr(reply);
}
