#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

/**
 * The speed of a running batch, smoothed over the last few seconds, and the time it still needs.
 * It is fed (time since the batch began, bytes of the batch done so far) samples and keeps no
 * clock of its own. The speed is the bytes gained between the newest sample and the newest one
 * at least one window older (or the oldest there is) divided by the time between them, so a
 * stall brings it down to 0 once the window has passed, provided samples keep coming (feed one on
 * a timer as well as on progress). A sample that goes back in time or in bytes starts the
 * measurement afresh.
 */
class TransferRate {
public:
    using Duration = std::chrono::milliseconds;

    static constexpr Duration kDefaultWindow{5000};

    explicit TransferRate(Duration window = kDefaultWindow);

    void addSample(Duration elapsed, int64_t bytesDone);
    void reset();

    /** Bytes per second; 0 until two samples lie apart in time. */
    double bytesPerSecond() const;

    /**
     * Whole seconds (rounded up) until `totalBytes` are done at the current speed; nothing while
     * the speed is 0 or the total is not known (not above 0).
     */
    std::optional<int64_t> secondsLeft(int64_t totalBytes) const;

private:
    struct Sample {
        Duration elapsed;
        int64_t bytesDone;
    };

    Duration window_;
    // The newest samples; the front is the newest one that lies a window or more before the back.
    std::deque<Sample> samples_;
};
