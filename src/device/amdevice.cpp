#include "device/amdevice.h"

#include "afc/afcapplicationdirectory.h"
#include "afc/afcmediadirectory.h"
#include "afc/afcrootdirectory.h"
#include "device/aminstallationproxy.h"
#include "device/callfailure.h"
#include "device/mobiledevicecalls.h"
#include "values/cautostring.h"
#include "values/cint64.h"
#include "values/nsarray.h"

using ZelboLib::CAutoString;
using ZelboLib::NSArray;
using ZelboLib::Object;
using ZelboLib::Owned;

namespace {

constexpr const char16_t* kInformationKeys[] = {
    u"DeviceName",
    u"DeviceClass",
    u"ProductType",
    u"ProductVersion",
    u"SerialNumber",
    u"UniqueDeviceID",
    u"ModelNumber",
    u"BuildVersion",
    u"HardwareModel",
    u"DeviceColor",
    u"RegionInfo",
    u"CPUArchitecture",
    u"WiFiAddress",
    u"BluetoothAddress",
    u"FirmwareVersion",
    u"ActivationState",
    u"ActivationStateAcknowledged",
    u"MLBSerialNumber",
    u"PasswordProtected",
    u"ProductionSOC",
    u"ProtocolVersion",
    u"SDIOProductInfo",
    u"SIMStatus",
    u"SupportedDeviceFamilies",
    u"TimeIntervalSince1970",
    u"TimeZone",
    u"TimeZoneOffsetFromUTC",
    u"UniqueChipID",
    u"Uses24HourClock",
};
constexpr const char16_t* kBatteryDomain = u"com.apple.mobile.battery";
constexpr const char16_t* kBatteryKeys[] = {u"BatteryIsCharging", u"BatteryCurrentCapacity"};
constexpr const char16_t* kDiskUsageDomain = u"com.apple.disk_usage";

// Undoes what a frame did (session, connection) when it ends, however it ends.
class FrameGuard {
public:
    explicit FrameGuard(AMDevice& device) : device_(device) {}
    ~FrameGuard() {
        if (stopSession_)
            device_.stopSession();
        if (disconnect_)
            device_.disconnect();
    }
    FrameGuard(const FrameGuard&) = delete;
    FrameGuard& operator=(const FrameGuard&) = delete;
    void connected() { disconnect_ = true; }
    void startedSession() { stopSession_ = true; }

private:
    AMDevice& device_;
    bool disconnect_ = false;
    bool stopSession_ = false;
};

}  // namespace

Owned<AMDevice> AMDevice::attach(AMDeviceRef handle, CZelboString& error) {
    Owned<AMDevice> device(new AMDevice(handle));
    if (!device->connect()) {
        error = device->lastErrorText();
        return nullptr;
    }
    // One connection for the whole snapshot: stringValue reads it first.
    device->name_ = device->stringValue(u"DeviceName");
    device->uniqueDeviceID_ = device->stringValue(u"UniqueDeviceID");
    device->disconnect();
    return device;
}

Owned<AMDevice> AMDevice::attachNotReady(AMDeviceRef handle) {
    Owned<AMDevice> device(new AMDevice(handle));
    const PlistPtr identifier(MobileDevice::AMDeviceCopyDeviceIdentifier(handle));
    ZelboLib::textFromPlistString(identifier.get(), device->uniqueDeviceID_);
    switch (const int state = MobileDevice::AMDeviceGetAccessState(handle)) {
        case kAMDeviceAccessLocked:
        case kAMDeviceAccessDenied:
        case kAMDeviceAccessConnecting:
            device->accessState_ = static_cast<AMDeviceAccessState>(state);
            break;
        default:
            device->accessState_ = kAMDeviceAccessUntrusted;
            break;
    }
    device->keepPublicValues();
    return device;
}

void AMDevice::keepPublicValues() {
    // Asked outside any frame: the library answers from what the device tells every host.
    const PlistPtr values(MobileDevice::AMDeviceCopyValue(deviceHandle(), nullptr, nullptr));
    Owned<NSArray> allKeys(new NSArray(true));
    if (plist_get_node_type(values.get()) == PLIST_DICT) {
        for (const char16_t* key : kInformationKeys) {
            const std::string name = CZelboString(key).toUtf8();
            if (Owned<Object> value =
                    ZelboLib::objectFromPlist(plist_dict_get_item(values.get(), name.c_str()))) {
                info_.setObjectForKey(key, value.release());
                allKeys->addObject(new CAutoString(key));
            }
        }
    }
    info_.setObjectForKey(u"allKeys", allKeys.release());
    name_ = stringValue(u"DeviceName");
}

bool AMDevice::reportCall(const char* entryPoint, int result) {
    const std::lock_guard lock(frameMutex_);
    if (result != 0) {
        lastErrorText_ = callFailureText(entryPoint, result);
        return false;
    }
    lastErrorText_ = CZelboString();
    return true;
}

CZelboString AMDevice::lastErrorText() const {
    const std::lock_guard lock(frameMutex_);
    return lastErrorText_;
}

bool AMDevice::connect() {
    const std::lock_guard lock(frameMutex_);
    if (!reportCall("AMDeviceConnect", MobileDevice::AMDeviceConnect(deviceHandle()))) {
        return false;
    }
    connected_ = true;
    return true;
}

bool AMDevice::disconnect() {
    const std::lock_guard lock(frameMutex_);
    const bool done =
        reportCall("AMDeviceDisconnect", MobileDevice::AMDeviceDisconnect(deviceHandle()));
    if (done)
        connected_ = false;
    return done;
}

bool AMDevice::startSession() {
    const std::lock_guard lock(frameMutex_);
    if (!reportCall("AMDeviceStartSession", MobileDevice::AMDeviceStartSession(deviceHandle()))) {
        return false;
    }
    inSession_ = true;
    return true;
}

bool AMDevice::stopSession() {
    const std::lock_guard lock(frameMutex_);
    const bool done =
        reportCall("AMDeviceStopSession", MobileDevice::AMDeviceStopSession(deviceHandle()));
    if (done)
        inSession_ = false;
    return done;
}

Owned<Object> AMDevice::copyValue(const CZelboString& key, const char16_t* domain) {
    const std::lock_guard lock(frameMutex_);
    // A device that allows no session is never asked: connecting would make the library try one.
    if (accessState_ != kAMDeviceAccessReady)
        return nullptr;
    FrameGuard frame(*this);
    if (!connected_) {
        if (!connect())
            return nullptr;
        frame.connected();
    }
    if (!inSession_) {
        if (!startSession())
            return nullptr;
        frame.startedSession();
    }
    const PlistPtr keyString = ZelboLib::plistStringFromText(key);
    const PlistPtr domainString = domain ? ZelboLib::plistStringFromText(domain) : nullptr;
    const PlistPtr value(
        MobileDevice::AMDeviceCopyValue(deviceHandle(), domainString.get(), keyString.get()));
    return ZelboLib::objectFromPlist(value.get());
}

const ZelboLib::NSDictionary& AMDevice::information() {
    const std::lock_guard lock(frameMutex_);
    if (!info_.isEmpty())
        return info_;
    Owned<NSArray> allKeys(new NSArray(true));
    const auto store = [&](const char16_t* key, const char16_t* domain) {
        if (Owned<Object> value = copyValue(key, domain)) {
            info_.setObjectForKey(key, value.release());
            allKeys->addObject(new CAutoString(key));
        }
    };
    for (const char16_t* key : kInformationKeys)
        store(key, nullptr);
    for (const char16_t* key : kBatteryKeys)
        store(key, kBatteryDomain);
    info_.setObjectForKey(u"allKeys", allKeys.release());
    return info_;
}

CZelboString AMDevice::stringValue(const CZelboString& key) {
    const std::lock_guard lock(frameMutex_);
    if (const Object* known = information().objectForKey(key))
        return known->description();
    const Owned<Object> live = copyValue(key);
    if (live && live->typeCode() == ZelboLib::kTypeString)
        return live->description();
    return {};
}

int64_t AMDevice::diskUsage(const char16_t* key) {
    const Owned<Object> value = copyValue(key, kDiskUsageDomain);
    if (!value || value->typeCode() != ZelboLib::kTypeInt64)
        return 0;
    return static_cast<const ZelboLib::CInt64&>(*value).value();
}

int64_t AMDevice::totalDataCapacity() {
    return diskUsage(u"TotalDataCapacity");
}

int64_t AMDevice::totalDataAvailable() {
    return diskUsage(u"TotalDataAvailable");
}

AMDevice::Family AMDevice::deviceFamily() {
    const CZelboString type = productType();
    const std::u16string_view text = type.view();
    if (text.find(u"iPod") != std::u16string_view::npos)
        return Family::iPodTouch;
    if (text.find(u"iPhone") != std::u16string_view::npos)
        return Family::iPhone;
    if (text.find(u"iPad") != std::u16string_view::npos)
        return Family::iPad;
    return Family::Unknown;
}

AMDServiceConnectionRef AMDevice::startService(const char* serviceName) {
    const PlistPtr name(plist_new_string(serviceName));
    AMDServiceConnectionRef handle = nullptr;
    if (MobileDevice::AMDeviceStartService(deviceHandle(), name.get(), &handle, nullptr) == 0) {
        return handle;
    }
    handle = nullptr;
    if (MobileDevice::AMDeviceSecureStartService(deviceHandle(), name.get(), nullptr, &handle) ==
        0) {
        return handle;
    }
    return nullptr;
}

template <typename Client, typename Open>
Owned<Client> AMDevice::openClient(Open open) {
    const std::lock_guard lock(frameMutex_);
    if (!connect())
        return nullptr;
    FrameGuard frame(*this);
    frame.connected();
    if (!startSession())
        return nullptr;
    frame.startedSession();
    Owned<Client> client(new Client());
    if (!open(*client))
        return nullptr;
    return client;
}

Owned<AFCMediaDirectory> AMDevice::openMediaDirectory() {
    return openClient<AFCMediaDirectory>(
        [this](AFCMediaDirectory& media) { return media.open(*this); });
}

Owned<AFCRootDirectory> AMDevice::openRootDirectory() {
    return openClient<AFCRootDirectory>(
        [this](AFCRootDirectory& root) { return root.open(*this); });
}

Owned<AFCApplicationDirectory> AMDevice::openApplicationDirectory(const char* bundleIdentifier) {
    return openClient<AFCApplicationDirectory>([&](AFCApplicationDirectory& container) {
        return container.openContainer(bundleIdentifier, *this);
    });
}

Owned<AMInstallationProxy> AMDevice::openInstallationProxy() {
    return openClient<AMInstallationProxy>([this](AMInstallationProxy& proxy) {
        proxy.adoptServiceHandle(startService(AMInstallationProxy::kServiceName));
        return proxy.serviceHandle() != nullptr;
    });
}
