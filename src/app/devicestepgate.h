#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class AMDevice;
class QWidget;

/**
 * Runs the steps that talk to a device under the busy indicator, and holds back the device
 * events that arrive while one runs: they are handed on, in order, once the operation that ran
 * the step has finished. An event that arrives while others wait waits behind them. GUI thread
 * only.
 */
class DeviceStepGate : public QObject {
    Q_OBJECT
public:
    using DeviceEventHandler =
        std::function<void(bool connected, const std::shared_ptr<AMDevice>& device)>;

    /**
     * window: where a step given no widget turns its indicator; stepsEnded: called whenever the
     * last step running has ended; handle: takes each device event, at once or held back.
     */
    DeviceStepGate(QWidget& window, std::function<void()> stepsEnded, DeviceEventHandler handle);

    /** Runs step on a worker under the busy indicator over `over` (the window when null). */
    void runStep(QWidget* over, const std::function<void()>& step);
    bool isRunningStep() const { return stepsRunning_ > 0; }
    /** Hands a device's arrival or removal on, now or once no step runs. */
    void deviceEvent(bool connected, const std::shared_ptr<AMDevice>& device);

private:
    struct DeviceEvent {
        bool connected;
        std::shared_ptr<AMDevice> device;
    };

    bool deferDeviceEvent(bool connected, const std::shared_ptr<AMDevice>& device);
    void replayDeviceEvents();

    QWidget& window_;
    std::function<void()> stepsEnded_;
    DeviceEventHandler handle_;
    int stepsRunning_ = 0;
    std::vector<DeviceEvent> deferredEvents_;
    bool replayQueued_ = false;
};
