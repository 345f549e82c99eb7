// libplovik-usbmux.so as the program uses it, for the library's tests: loaded with dlopen, every
// entry point looked up by name (MD), against the usbmuxd stand-in. The stand-in listens on a
// socket in a temporary folder that USBMUXD_SOCKET_ADDRESS names before the library is loaded.
// Subscriptions cannot be ended, so one process-wide subscription records the events of all
// tests; each test uses devices of its own.
#ifndef PLOVIK_TESTS_USBMUX_USBMUXHARNESS_H
#define PLOVIK_TESTS_USBMUX_USBMUXHARNESS_H

#include "mobiledevice.h"
#include "standinmux.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;

constexpr auto kEventWait = 15s;  // libusbmuxd polls each second, the library re-probes every 3 s
// Pairing makes two RSA keys first, which under valgrind takes a minute or more.
constexpr auto kPairingWait = 300s;

class Recorder {
public:
    struct Event {
        AMDeviceRef device;
        uint32_t message;
        std::string udid;
    };

    void record(const AMDeviceNotificationInfo& info, std::string udid) {
        if (inCallback_.exchange(true)) {
            ADD_FAILURE() << "two notification callbacks ran at once";
        }
        {
            const std::lock_guard lock(mutex_);
            events_.push_back({info.device, info.message, std::move(udid)});
        }
        changed_.notify_all();
        inCallback_ = false;
    }

    // The device of the occurrence-th event with that message for udid, once it happened.
    std::optional<AMDeviceRef> waitFor(const std::string& udid, uint32_t message,
                                       int occurrence = 1,
                                       std::chrono::seconds timeout = kEventWait) {
        std::unique_lock lock(mutex_);
        std::optional<AMDeviceRef> found;
        changed_.wait_for(lock, timeout, [&] {
            int seen = 0;
            for (const Event& event : events_) {
                if (event.udid == udid && event.message == message && ++seen == occurrence) {
                    found = event.device;
                }
            }
            return found.has_value();
        });
        return found;
    }

    std::vector<uint32_t> messagesFor(const std::string& udid) {
        const std::lock_guard lock(mutex_);
        std::vector<uint32_t> messages;
        for (const Event& event : events_) {
            if (event.udid == udid) {
                messages.push_back(event.message);
            }
        }
        return messages;
    }

    size_t count() {
        const std::lock_guard lock(mutex_);
        return events_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
    std::atomic<bool> inCallback_{false};
};

class Harness {
public:
    static Harness& instance() {
        static Harness* const harness = new Harness;
        return *harness;
    }

    template <typename Function>
    Function entry(const char* name) {
        void* symbol = dlsym(library_, name);
        if (symbol == nullptr) {
            ADD_FAILURE() << "missing entry point " << name;
        }
        return reinterpret_cast<Function>(symbol);
    }

    int subscribe();
    bool daemonRunning() const { return mux_ != nullptr; }
    standin::StandInMux& mux();
    Recorder& recorder() { return recorder_; }
    standin::DeviceState newDevice();

private:
    Harness();
    static void onNotification(const AMDeviceNotificationInfo* info, void* context);

    std::string folder_;
    void* library_ = nullptr;
    Recorder recorder_;
    bool subscribed_ = false;
    std::unique_ptr<standin::StandInMux> mux_;
    uint32_t lastDeviceId_ = 0;
};

#define MD(name) (Harness::instance().entry<decltype(&name)>(#name))

#endif
