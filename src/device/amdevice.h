#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "device/mobiledevice.h"
#include "values/nsdictionary.h"

class AFCDirectoryDelegate;
class AFCMediaDirectory;
class AFCRootDirectory;
class AFCApplicationDirectory;
class AMInstallationProxy;

/**
 * One attached device. Opens the connection and the lockdown session around each piece of work
 * (reusing an outer one), reads values, keeps the information snapshot read on arrival, and makes
 * the service clients. Failed library calls leave "<entry point> failed: <hex>" in lastErrorText().
 *
 * A connect/session frame is held under a lock, so two threads may use one device; the handle is
 * cleared (by the device monitor, on removal) atomically, after which every call fails.
 */
class AMDevice : public ZelboLib::Object {
public:
    enum class Family { Unknown = 0, iPodTouch = 1, iPhone = 2, iPad = 3 };

    /**
     * The device for a library handle: connects, reads the snapshot and disconnects. Null, with
     * the failure in error, when the device cannot be connected.
     */
    static ZelboLib::Owned<AMDevice> attach(AMDeviceRef handle, CZelboString& error);
    /**
     * A device that is attached but locked or not trusted: it has its identifier, access state
     * and, as its snapshot, the values the device tells without a session (name, type, iOS
     * version... where it gives them); it never asks the device for more.
     */
    static ZelboLib::Owned<AMDevice> attachNotReady(AMDeviceRef handle);

    bool connect();
    bool disconnect();
    bool startSession();
    bool stopSession();

    /** A new value object for key (in domain, when given), or null. */
    ZelboLib::Owned<ZelboLib::Object> copyValue(const CZelboString& key,
                                                const char16_t* domain = nullptr);
    /** The snapshot: every readable value of the information keys, and "allKeys" listing them. */
    const ZelboLib::NSDictionary& information();
    /** The snapshot value's description, else a live string value, else "". */
    CZelboString stringValue(const CZelboString& key);
    CZelboString serialNumber() { return stringValue(u"SerialNumber"); }
    CZelboString productType() { return stringValue(u"ProductType"); }
    CZelboString name() const { return name_; }
    CZelboString uniqueDeviceID() const { return uniqueDeviceID_; }
    CZelboString lastErrorText() const;
    int64_t totalDataCapacity();
    int64_t totalDataAvailable();
    Family deviceFamily();
    /** Why the device does not allow a session yet; kAMDeviceAccessReady for a complete device. */
    AMDeviceAccessState accessState() const { return accessState_; }

    /** Starts a service inside the caller's session; null when the device refuses it. */
    AMDServiceConnectionRef startService(const char* serviceName);
    ZelboLib::Owned<AFCMediaDirectory> openMediaDirectory();
    ZelboLib::Owned<AFCRootDirectory> openRootDirectory();
    ZelboLib::Owned<AFCApplicationDirectory> openApplicationDirectory(const char* bundleIdentifier);
    ZelboLib::Owned<AMInstallationProxy> openInstallationProxy();

    AMDeviceRef deviceHandle() const { return deviceHandle_.load(); }
    /** Called on removal: every later call on this object fails. */
    void forgetHandle() { deviceHandle_.store(nullptr); }

    /** The copy callbacks the transfer worker sets before each job (not owned). */
    void setTransferDelegate(AFCDirectoryDelegate* delegate) { transferDelegate_ = delegate; }
    AFCDirectoryDelegate* transferDelegate() const { return transferDelegate_; }

private:
    explicit AMDevice(AMDeviceRef handle) : deviceHandle_(handle) {}

    /** Runs a connect/session frame around work, as every service client is made. */
    template <typename Client, typename Open>
    ZelboLib::Owned<Client> openClient(Open open);
    void keepPublicValues();
    bool reportCall(const char* entryPoint, int result);
    int64_t diskUsage(const char16_t* key);

    std::atomic<AMDeviceRef> deviceHandle_;
    mutable std::recursive_mutex frameMutex_;
    CZelboString lastErrorText_;
    CZelboString name_;
    CZelboString uniqueDeviceID_;
    bool connected_ = false;
    bool inSession_ = false;
    ZelboLib::NSDictionary info_{true};
    AMDeviceAccessState accessState_ = kAMDeviceAccessReady;
    AFCDirectoryDelegate* transferDelegate_ = nullptr;
};
