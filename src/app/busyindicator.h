#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "app/busyindicatorframe.h"

class BusyOverlay;

/**
 * The animated ring of dots shown over a window while a long step runs. Frames are drawn every
 * 125 ms on the indicator's own thread, so the ring keeps moving whatever the user-interface
 * thread does; an overlay widget shows the newest frame. Each indicator is independent of others.
 * start and stop are called on the user-interface thread.
 */
class BusyIndicator {
public:
    static constexpr int kFrameMilliseconds = 125;

    explicit BusyIndicator(
        BusyIndicatorFrame::Blending blending = BusyIndicatorFrame::Blending::PerPixelAlpha);
    ~BusyIndicator();
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

    /**
     * Shows the indicator over rect of window (centred in it, and kept centred while the window
     * is resized, when centre is set); returns once the animation thread runs.
     */
    void start(QWidget* window, QColor colour, bool centre, QRect rect);
    /** Ends the animation thread, handling events while it finishes, and repaints the window. */
    void stop();
    bool isRunning() const { return thread_.joinable(); }

    /** The newest frame (for the overlay, and for tests). */
    QImage currentFrame() const;
    /** The step the next frame will show. */
    int nextStep() const { return step_.load(); }

private:
    void animate(QSize size, QColor colour);

    BusyIndicatorFrame::Blending blending_;
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<int> step_{0};
    mutable std::mutex frameMutex_;
    QImage frame_;
    QPointer<QWidget> window_;
    QPointer<BusyOverlay> overlay_;
    // Lives on the user-interface thread: the animation thread asks it to repaint the overlay,
    // and only that thread ever touches the overlay.
    QObject repainter_;
};
