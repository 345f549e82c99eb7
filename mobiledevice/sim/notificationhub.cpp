#include "notificationhub.h"

namespace plovik::sim {

NotificationHub::NotificationHub() : thread_([this](std::stop_token stop) { run(stop); }) {}

NotificationHub::~NotificationHub() {
    thread_.request_stop();
    thread_.join();
}

void NotificationHub::subscribe(Subscriber subscriber, const std::vector<Event>& initialEvents) {
    {
        std::lock_guard lock(mutex_);
        subscribers_.push_back(subscriber);
        for (const Event& event : initialEvents) {
            queue_.push_back({subscriber, event});
        }
    }
    changed_.notify_all();
}

void NotificationHub::post(Event event) {
    {
        std::lock_guard lock(mutex_);
        for (const Subscriber& subscriber : subscribers_) {
            queue_.push_back({subscriber, event});
        }
    }
    changed_.notify_all();
}

void NotificationHub::flush() {
    if (std::this_thread::get_id() == thread_.get_id()) {
        return;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !delivering_; });
}

void NotificationHub::clear() {
    {
        std::lock_guard lock(mutex_);
        subscribers_.clear();
        queue_.clear();
    }
    changed_.notify_all();
}

void NotificationHub::run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (changed_.wait(lock, stop, [this] { return !queue_.empty(); })) {
        const Delivery delivery = queue_.front();
        queue_.pop_front();
        delivering_ = true;
        lock.unlock();
        const AMDeviceNotificationInfo info{delivery.event.first, delivery.event.second};
        delivery.subscriber.callback(&info, delivery.subscriber.context);
        lock.lock();
        delivering_ = false;
        changed_.notify_all();
    }
}

}  // namespace plovik::sim
