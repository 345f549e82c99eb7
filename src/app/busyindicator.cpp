#include "app/busyindicator.h"

#include <QEventLoop>
#include <QMetaObject>
#include <chrono>
#include <condition_variable>

#include "app/busyoverlay.h"

BusyIndicator::BusyIndicator(BusyIndicatorFrame::Blending blending) : blending_(blending) {}

BusyIndicator::~BusyIndicator() {
    stop();
}

void BusyIndicator::start(QWidget* window, QColor colour, bool centre, QRect rect) {
    stop();
    if (centre)
        rect.moveCenter(window->rect().center());
    window_ = window;
    step_ = 0;
    stopRequested_ = false;
    {
        const std::lock_guard lock(frameMutex_);
        frame_ = BusyIndicatorFrame::draw(rect.size(), colour, 0, blending_);
    }
    overlay_ = new BusyOverlay(window, *this, rect, centre);

    std::mutex startedMutex;
    std::condition_variable started;
    bool running = false;
    thread_ = std::thread([this, &startedMutex, &started, &running, size = rect.size(), colour] {
        {
            // Notified under the lock: start() may return, and end these locals, as soon as
            // the lock is free.
            const std::lock_guard lock(startedMutex);
            running = true;
            started.notify_one();
        }
        animate(size, colour);
    });
    std::unique_lock lock(startedMutex);
    started.wait(lock, [&] { return running; });
}

void BusyIndicator::animate(QSize size, QColor colour) {
    while (!stopRequested_) {
        const int step = step_.load();
        step_ = BusyIndicatorFrame::nextStep(step);
        QImage frame = BusyIndicatorFrame::draw(size, colour, step, blending_);
        {
            const std::lock_guard lock(frameMutex_);
            frame_ = std::move(frame);
        }
        QMetaObject::invokeMethod(
            &repainter_,
            [this] {
                if (overlay_)
                    overlay_->update();
            },
            Qt::QueuedConnection);
        for (int slept = 0; slept < kFrameMilliseconds && !stopRequested_; slept += 5) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

QImage BusyIndicator::currentFrame() const {
    const std::lock_guard lock(frameMutex_);
    return frame_;
}

void BusyIndicator::stop() {
    if (!thread_.joinable())
        return;
    stopRequested_ = true;
    // Events keep flowing while the thread ends: the window stays painted.
    QEventLoop loop;
    std::thread waiter([this, &loop] {
        thread_.join();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    waiter.join();
    delete overlay_.data();
    if (window_)
        window_->update();
}
