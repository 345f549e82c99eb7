#ifndef PLOVIK_TESTS_SIM_SIMTEST_H
#define PLOVIK_TESTS_SIM_SIMTEST_H

#include "plovik_sim.h"
#include "simlibrary.h"
#include "tempdevice.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Records the notifications of one subscription.
class NotificationRecorder {
public:
    struct Event {
        AMDeviceRef device;
        uint32_t message;
        std::thread::id thread;
        bool operator==(const Event& other) const = default;
    };

    int subscribe();
    // Everything delivered so far, after the queue was flushed.
    std::vector<Event> events();

private:
    static void deliver(const AMDeviceNotificationInfo* info, void* context);

    std::mutex mutex_;
    std::vector<Event> events_;
};

using PlistNode = std::unique_ptr<void, decltype(&plist_free)>;
PlistNode makeString(const char* text);

// One client of a property-list service: the framing a caller speaks.
class ServiceClient {
public:
    explicit ServiceClient(AMDServiceConnectionRef service) : service_(service) {}
    bool send(plist_t message) const;
    // Reassembles the reply from however many pieces it arrives in; null on failure.
    PlistNode receive() const;

private:
    bool receiveExactly(char* buffer, size_t length) const;
    AMDServiceConnectionRef service_;
};

// Tests against the library with a temporary device; every test ends with a reset library.
class SimTest : public ::testing::Test {
protected:
    // recorder_ is subscribed before each test.
    void SetUp() override;
    void TearDown() override;

    // Attaches the device and returns its handle, as a subscriber receives it.
    AMDeviceRef attach(const TempDevice& device);

    // Connects and starts a session; the frame is closed by endSession.
    void beginSession(AMDeviceRef device);
    void endSession(AMDeviceRef device);

    AMDServiceConnectionRef startService(AMDeviceRef device, const char* name,
                                         int* result = nullptr);
    AFCConnectionRef openAfc(AMDeviceRef device, const char* service = "com.apple.afc");

    // AFC helpers; results of the underlying calls are checked by the tests through them.
    std::optional<std::vector<std::string>> list(AFCConnectionRef afc, const char* path);
    std::map<std::string, std::string> info(AFCConnectionRef afc, const char* path,
                                            int* result = nullptr);
    // Creates or empties the file, then writes content.
    int writeFile(AFCConnectionRef afc, const char* path, const std::string& content);
    std::optional<std::string> readFile(AFCConnectionRef afc, const char* path);

    // Keeps an object a callback was subscribed with alive until the library is reset.
    template <typename T>
    T& keepUntilReset(std::shared_ptr<T> object) {
        keptUntilReset_.push_back(object);
        return *object;
    }

    NotificationRecorder recorder_;

private:
    std::vector<std::shared_ptr<void>> keptUntilReset_;
};

#endif
