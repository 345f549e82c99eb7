#pragma once

/**
 * The arithmetic of the device tree's animated wheel scrolling. Each wheel notch adds to a
 * velocity v (pixels; positive scrolls up): first v becomes what is still pending of the running
 * animation, then a notch up adds 8 (12 when v was heading down), a notch down subtracts 8 (12 when
 * v was heading up), and v is held within -100..100. The animation then lasts 5 x floor(sqrt|v|)
 * ticks; each tick scrolls v x (remaining / total)^2 pixels, so it eases out.
 */
class WheelScrollAnimation {
public:
    enum class Direction { Up, Down };

    static constexpr double kMaxVelocity = 100.0;

    /** Restarts the animation for one more wheel notch. */
    void addNotch(Direction direction);
    /** Uses one tick and returns the pixels to scroll by (positive: up). Only while running. */
    double nextTick();
    /** Ends the animation: no velocity, no ticks left. */
    void stop();

    bool isRunning() const { return remaining_ > 0; }
    double velocity() const { return velocity_; }
    int totalTicks() const { return total_; }
    int remainingTicks() const { return remaining_; }
    /** What the animation still carries: v x (remaining / total)^2; 0 once it has ended. */
    double pendingVelocity() const;

private:
    double velocity_ = 0.0;
    int total_ = 0;
    int remaining_ = 0;
};
