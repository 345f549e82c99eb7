#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "device/mobiledevice.h"
#include "values/plistconversion.h"

/**
 * A MobileDevice library made of test functions, installed as the resolver while it lives: devices
 * with lockdown values, call counts, failing or missing entry points, and service connections that
 * replay scripted bytes in pieces of a chosen size. One at a time.
 */
class FakeMobileDevice {
public:
    struct Device {
        std::map<std::string, PlistPtr> values;  // "key" or "domain/key"
        int accessState = kAMDeviceAccessReady;
    };

    FakeMobileDevice();
    ~FakeMobileDevice();
    FakeMobileDevice(const FakeMobileDevice&) = delete;
    FakeMobileDevice& operator=(const FakeMobileDevice&) = delete;

    static FakeMobileDevice& current();

    /** A device handle with the given values (strings unless given as plist XML). */
    AMDeviceRef addDevice(const std::map<std::string, std::string>& strings);
    Device& device(AMDeviceRef handle) { return devices_.at(handle); }

    /** Sends a notification as the library's thread would. */
    static void notify(AMDeviceRef device, uint32_t message);

    /** Queues one framed reply (4-byte big-endian length + body) for the service connections. */
    void queueReply(const std::string& body);
    void queueRawBytes(const std::string& bytes) { incoming_.append(bytes); }
    /** Drops the bytes not yet received. */
    void dropIncoming() { incoming_.clear(); }
    /** Receives hand out at most this many bytes at a time. */
    void setPieceSize(size_t bytes) { pieceSize_ = bytes; }

    void setResult(const std::string& entryPoint, int result) { results_[entryPoint] = result; }
    void makeMissing(const std::string& entryPoint) { missing_.insert(entryPoint); }
    int calls(const std::string& entryPoint) const;
    /** The messages sent on service connections, bodies parsed. */
    std::vector<PlistPtr> sentMessages() const;
    int openServices() const { return openServices_; }

    /** What AFCFileInfoOpen/AFCKeyValueRead hand out, in order. */
    void setFileInfo(std::vector<std::pair<std::string, std::string>> pairs) {
        fileInfo_ = std::move(pairs);
    }
    /** The size a file opened through AFC reports; its reads give nothing. */
    void setFileSize(uint64_t size) { fileSize_ = size; }

private:
    friend struct FakeEntryPoints;

    int result(const std::string& entryPoint);

    std::map<AMDeviceRef, Device> devices_;
    std::map<std::string, int> results_;
    std::map<std::string, int> calls_;
    std::set<std::string> missing_;
    std::string incoming_;
    std::string outgoing_;
    size_t pieceSize_ = SIZE_MAX;
    std::vector<std::pair<std::string, std::string>> fileInfo_;
    size_t fileInfoRead_ = 0;
    uint64_t fileSize_ = 0;
    int openServices_ = 0;
    uintptr_t nextHandle_ = 0x1000;
};
