#pragma once

#include <atomic>
#include <chrono>
#include <thread>

/**
 * Measures how many calls run at once: each call made through it is held a moment, so that calls
 * on other threads overlap it when they run in parallel. For wrappers around library entry points.
 */
class ConcurrencyGauge {
public:
    explicit ConcurrencyGauge(std::chrono::microseconds hold) : hold_(hold) {}

    /** Runs call, counted and held; gives what it gives. */
    template <class Call>
    auto measure(Call call) {
        ++calls_;
        const int now = ++running_;
        for (int most = most_; now > most && !most_.compare_exchange_weak(most, now);) {
        }
        std::this_thread::sleep_for(hold_);
        const auto result = call();
        --running_;
        return result;
    }

    /** The most calls seen running at once. */
    int most() const { return most_; }
    /** The calls made. */
    int calls() const { return calls_; }
    void reset() {
        most_ = 0;
        calls_ = 0;
    }

private:
    const std::chrono::microseconds hold_;
    std::atomic<int> running_{0};
    std::atomic<int> most_{0};
    std::atomic<int> calls_{0};
};
