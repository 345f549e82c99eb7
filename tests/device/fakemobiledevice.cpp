#include "device/fakemobiledevice.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "device/mobiledevicelibrary.h"

namespace {

FakeMobileDevice* installed = nullptr;

// The subscription outlives single fakes: the device monitor subscribes once per process.
AMDeviceNotificationCallback subscribedCallback = nullptr;
void* subscribedContext = nullptr;

std::string valueKey(plist_t domain, plist_t key) {
    std::string text;
    if (domain != nullptr) {
        uint64_t length = 0;
        text = std::string(plist_get_string_ptr(domain, &length)) + "/";
    }
    uint64_t length = 0;
    const char* name = key ? plist_get_string_ptr(key, &length) : nullptr;
    return text + (name ? name : "");
}

}  // namespace

// Entry points with the MobileDevice signatures, working on the installed fake.
struct FakeEntryPoints {
    static FakeMobileDevice& fake() { return *installed; }

    static int subscribe(AMDeviceNotificationCallback callback, uint32_t, uint32_t, void* context,
                         AMDeviceNotificationRef* out) {
        const int failure = fake().result("AMDeviceNotificationSubscribe");
        if (failure != 0)
            return failure;
        subscribedCallback = callback;
        subscribedContext = context;
        *out = reinterpret_cast<AMDeviceNotificationRef>(context);
        return 0;
    }
    static int connect(AMDeviceRef device) {
        return fake().devices_.contains(device) ? fake().result("AMDeviceConnect")
                                                : static_cast<int>(0xe8000084u);
    }
    static int disconnect(AMDeviceRef) { return fake().result("AMDeviceDisconnect"); }
    static int startSession(AMDeviceRef device) {
        if (!fake().devices_.contains(device))
            return -2;
        if (fake().device(device).accessState != kAMDeviceAccessReady)
            return static_cast<int>(0xe800001au);
        return fake().result("AMDeviceStartSession");
    }
    static int stopSession(AMDeviceRef) { return fake().result("AMDeviceStopSession"); }
    static plist_t copyValue(AMDeviceRef device, plist_t domain, plist_t key) {
        fake().result("AMDeviceCopyValue");
        const auto found = fake().devices_.find(device);
        if (found == fake().devices_.end())
            return nullptr;
        const auto value = found->second.values.find(valueKey(domain, key));
        return value == found->second.values.end() ? nullptr : plist_copy(value->second.get());
    }
    static plist_t copyIdentifier(AMDeviceRef device) {
        return copyValue(device, nullptr, PlistPtr(plist_new_string("UniqueDeviceID")).get());
    }
    static int accessState(AMDeviceRef device) {
        const auto found = fake().devices_.find(device);
        return found == fake().devices_.end() ? -1 : found->second.accessState;
    }
    static int startService(AMDeviceRef, plist_t, AMDServiceConnectionRef* out, uint32_t*) {
        const int failure = fake().result("AMDeviceStartService");
        if (failure == 0) {
            ++fake().openServices_;
            *out = reinterpret_cast<AMDServiceConnectionRef>(fake().nextHandle_++);
        }
        return failure;
    }
    static int secureStartService(AMDeviceRef device, plist_t name, plist_t,
                                  AMDServiceConnectionRef* out) {
        const int failure = fake().result("AMDeviceSecureStartService");
        if (failure != 0)
            return failure;
        fake().results_.erase("AMDeviceStartService");
        return startService(device, name, out, nullptr);
    }
    static int64_t send(AMDServiceConnectionRef, const void* bytes, size_t length) {
        const int failure = fake().result("AMDServiceConnectionSend");
        if (failure != 0)
            return failure;
        fake().outgoing_.append(static_cast<const char*>(bytes), length);
        return static_cast<int64_t>(length);
    }
    static int64_t receive(AMDServiceConnectionRef, void* buffer, size_t length) {
        fake().result("AMDServiceConnectionReceive");
        std::string& incoming = fake().incoming_;
        const size_t count = std::min({length, incoming.size(), fake().pieceSize_});
        std::memcpy(buffer, incoming.data(), count);
        incoming.erase(0, count);
        return static_cast<int64_t>(count);
    }
    static int setTimeout(AMDServiceConnectionRef, uint32_t) {
        return fake().result("AMDServiceConnectionSetReceiveTimeout");
    }
    static int invalidate(AMDServiceConnectionRef) {
        --fake().openServices_;
        return fake().result("AMDServiceConnectionInvalidate");
    }
    static int afcOpen(AMDServiceConnectionRef service, uint32_t, AFCConnectionRef* out) {
        const int failure = fake().result("AFCConnectionOpen");
        if (failure == 0)
            *out = reinterpret_cast<AFCConnectionRef>(service);
        return failure;
    }
    static int afcClose(AFCConnectionRef) { return fake().result("AFCConnectionClose"); }
    static int infoOpen(AFCConnectionRef, const char*, AFCDictionaryRef* out) {
        fake().fileInfoRead_ = 0;
        *out = reinterpret_cast<AFCDictionaryRef>(&fake());
        return fake().result("AFCFileInfoOpen");
    }
    static int keyValueRead(AFCDictionaryRef, char** key, char** value) {
        auto& pairs = fake().fileInfo_;
        if (fake().fileInfoRead_ >= pairs.size()) {
            *key = *value = nullptr;
            return 0;
        }
        auto& [k, v] = pairs[fake().fileInfoRead_++];
        *key = k.data();
        *value = v.data();
        return 0;
    }
    static int keyValueClose(AFCDictionaryRef) { return 0; }
    static int fileOpen(AFCConnectionRef, const char*, uint64_t, int, AFCFileRef* out) {
        *out = 1;
        return fake().result("AFCFileRefOpen");
    }
    static int fileSeek(AFCConnectionRef, AFCFileRef, int64_t, uint64_t) { return 0; }
    static int fileTell(AFCConnectionRef, AFCFileRef, uint64_t* position) {
        *position = fake().fileSize_;
        return 0;
    }
    static int fileRead(AFCConnectionRef, AFCFileRef, void*, uint32_t* length) {
        *length = 0;
        return fake().result("AFCFileRefRead");
    }
    static int fileClose(AFCConnectionRef, AFCFileRef) { return 0; }
};

FakeMobileDevice::FakeMobileDevice() {
    if (installed != nullptr)
        throw std::logic_error("one FakeMobileDevice at a time");
    installed = this;
    const std::map<std::string, void*> table = {
        {"AMDeviceNotificationSubscribe", reinterpret_cast<void*>(&FakeEntryPoints::subscribe)},
        {"AMDeviceConnect", reinterpret_cast<void*>(&FakeEntryPoints::connect)},
        {"AMDeviceDisconnect", reinterpret_cast<void*>(&FakeEntryPoints::disconnect)},
        {"AMDeviceStartSession", reinterpret_cast<void*>(&FakeEntryPoints::startSession)},
        {"AMDeviceStopSession", reinterpret_cast<void*>(&FakeEntryPoints::stopSession)},
        {"AMDeviceCopyValue", reinterpret_cast<void*>(&FakeEntryPoints::copyValue)},
        {"AMDeviceCopyDeviceIdentifier", reinterpret_cast<void*>(&FakeEntryPoints::copyIdentifier)},
        {"AMDeviceGetAccessState", reinterpret_cast<void*>(&FakeEntryPoints::accessState)},
        {"AMDeviceStartService", reinterpret_cast<void*>(&FakeEntryPoints::startService)},
        {"AMDeviceSecureStartService",
         reinterpret_cast<void*>(&FakeEntryPoints::secureStartService)},
        {"AMDServiceConnectionSend", reinterpret_cast<void*>(&FakeEntryPoints::send)},
        {"AMDServiceConnectionReceive", reinterpret_cast<void*>(&FakeEntryPoints::receive)},
        {"AMDServiceConnectionSetReceiveTimeout",
         reinterpret_cast<void*>(&FakeEntryPoints::setTimeout)},
        {"AMDServiceConnectionInvalidate", reinterpret_cast<void*>(&FakeEntryPoints::invalidate)},
        {"AFCConnectionOpen", reinterpret_cast<void*>(&FakeEntryPoints::afcOpen)},
        {"AFCConnectionClose", reinterpret_cast<void*>(&FakeEntryPoints::afcClose)},
        {"AFCFileInfoOpen", reinterpret_cast<void*>(&FakeEntryPoints::infoOpen)},
        {"AFCKeyValueRead", reinterpret_cast<void*>(&FakeEntryPoints::keyValueRead)},
        {"AFCKeyValueClose", reinterpret_cast<void*>(&FakeEntryPoints::keyValueClose)},
        {"AFCFileRefOpen", reinterpret_cast<void*>(&FakeEntryPoints::fileOpen)},
        {"AFCFileRefSeek", reinterpret_cast<void*>(&FakeEntryPoints::fileSeek)},
        {"AFCFileRefTell", reinterpret_cast<void*>(&FakeEntryPoints::fileTell)},
        {"AFCFileRefRead", reinterpret_cast<void*>(&FakeEntryPoints::fileRead)},
        {"AFCFileRefClose", reinterpret_cast<void*>(&FakeEntryPoints::fileClose)},
    };
    MobileDeviceLibrary::instance().setResolver([table](const char* name) -> void* {
        if (installed == nullptr || installed->missing_.contains(name))
            return nullptr;
        const auto entry = table.find(name);
        return entry == table.end() ? nullptr : entry->second;
    });
}

FakeMobileDevice::~FakeMobileDevice() {
    MobileDeviceLibrary::instance().setResolver(nullptr);
    installed = nullptr;
}

FakeMobileDevice& FakeMobileDevice::current() {
    return *installed;
}

AMDeviceRef FakeMobileDevice::addDevice(const std::map<std::string, std::string>& strings) {
    const auto handle = reinterpret_cast<AMDeviceRef>(nextHandle_++);
    Device& added = devices_[handle];
    for (const auto& [key, text] : strings) {
        plist_t value = nullptr;
        if (text.starts_with("<")) {
            const std::string xml = "<plist version=\"1.0\">" + text + "</plist>";
            plist_from_xml(xml.c_str(), static_cast<uint32_t>(xml.size()), &value);
        } else {
            value = plist_new_string(text.c_str());
        }
        added.values[key] = PlistPtr(value);
    }
    return handle;
}

void FakeMobileDevice::notify(AMDeviceRef device, uint32_t message) {
    const AMDeviceNotificationInfo info{device, message};
    if (subscribedCallback != nullptr)
        subscribedCallback(&info, subscribedContext);
}

void FakeMobileDevice::queueReply(const std::string& body) {
    const uint32_t length = htonl(static_cast<uint32_t>(body.size()));
    incoming_.append(reinterpret_cast<const char*>(&length), sizeof length);
    incoming_.append(body);
}

int FakeMobileDevice::result(const std::string& entryPoint) {
    ++calls_[entryPoint];
    const auto found = results_.find(entryPoint);
    return found == results_.end() ? 0 : found->second;
}

int FakeMobileDevice::calls(const std::string& entryPoint) const {
    const auto found = calls_.find(entryPoint);
    return found == calls_.end() ? 0 : found->second;
}

std::vector<PlistPtr> FakeMobileDevice::sentMessages() const {
    std::vector<PlistPtr> messages;
    for (size_t at = 0; at + 4 <= outgoing_.size();) {
        uint32_t length = 0;
        std::memcpy(&length, outgoing_.data() + at, sizeof length);
        length = ntohl(length);
        plist_t message = nullptr;
        plist_from_memory(outgoing_.data() + at + 4, length, &message);
        messages.emplace_back(message);
        at += 4 + length;
    }
    return messages;
}
