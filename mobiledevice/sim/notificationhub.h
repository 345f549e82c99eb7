#ifndef PLOVIK_SIM_NOTIFICATIONHUB_H
#define PLOVIK_SIM_NOTIFICATIONHUB_H

#include "device/mobiledevice.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace plovik::sim {

// The library's notification thread: device events reach every subscriber there, in the order
// they were posted, one callback at a time, and never while a lock of the library is held (a
// callback may call back in).
class NotificationHub {
public:
    struct Subscriber {
        AMDeviceNotificationCallback callback;
        void* context;
    };
    using Event = std::pair<AMDeviceRef, uint32_t>;

    NotificationHub();
    ~NotificationHub();
    NotificationHub(const NotificationHub&) = delete;
    NotificationHub& operator=(const NotificationHub&) = delete;

    // Adds a subscriber; initialEvents (the devices already attached) go to it alone.
    void subscribe(Subscriber subscriber, const std::vector<Event>& initialEvents);
    // Queues the event for every subscriber known now.
    void post(Event event);
    // Waits until the queue is delivered; returns at once on the notification thread.
    void flush();
    // Forgets every subscriber and every event not delivered yet.
    void clear();

private:
    struct Delivery {
        Subscriber subscriber;
        Event event;
    };

    void run(std::stop_token stop);

    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::vector<Subscriber> subscribers_;
    std::deque<Delivery> queue_;
    bool delivering_ = false;
    std::jthread thread_;  // last: started once the queue exists
};

}  // namespace plovik::sim

#endif
