#include "app/devicestepgate.h"

#include <QMetaObject>

#include "app/steprunner.h"

DeviceStepGate::DeviceStepGate(QWidget& window, std::function<void()> stepsEnded,
                               DeviceEventHandler handle)
    : window_(window), stepsEnded_(std::move(stepsEnded)), handle_(std::move(handle)) {}

void DeviceStepGate::runStep(QWidget* over, const std::function<void()>& step) {
    ++stepsRunning_;
    runDeviceStep(over ? over : &window_, step);
    --stepsRunning_;
    if (stepsRunning_ == 0)
        stepsEnded_();
    // Deferred events run once the operation that ran this step has finished.
    if (stepsRunning_ == 0 && !deferredEvents_.empty() && !replayQueued_) {
        replayQueued_ = true;
        QMetaObject::invokeMethod(this, &DeviceStepGate::replayDeviceEvents, Qt::QueuedConnection);
    }
}

void DeviceStepGate::deviceEvent(bool connected, const std::shared_ptr<AMDevice>& device) {
    if (!deferDeviceEvent(connected, device))
        handle_(connected, device);
}

bool DeviceStepGate::deferDeviceEvent(bool connected, const std::shared_ptr<AMDevice>& device) {
    if (stepsRunning_ == 0 && deferredEvents_.empty())
        return false;
    deferredEvents_.push_back({connected, device});
    if (stepsRunning_ == 0 && !replayQueued_) {
        replayQueued_ = true;
        QMetaObject::invokeMethod(this, &DeviceStepGate::replayDeviceEvents, Qt::QueuedConnection);
    }
    return true;
}

void DeviceStepGate::replayDeviceEvents() {
    replayQueued_ = false;
    while (stepsRunning_ == 0 && !deferredEvents_.empty()) {
        const DeviceEvent event = deferredEvents_.front();
        deferredEvents_.erase(deferredEvents_.begin());
        handle_(event.connected, event.device);
    }
}
