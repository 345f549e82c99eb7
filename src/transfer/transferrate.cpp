#include "transfer/transferrate.h"

#include <cmath>

TransferRate::TransferRate(Duration window) : window_(window) {}

void TransferRate::addSample(Duration elapsed, int64_t bytesDone) {
    if (!samples_.empty()) {
        const Sample& newest = samples_.back();
        if (elapsed < newest.elapsed || bytesDone < newest.bytesDone)
            samples_.clear();
    }
    samples_.push_back({elapsed, bytesDone});
    // Keep a single sample that lies a full window back: the speed then always spans the window.
    while (samples_.size() > 2 && elapsed - samples_[1].elapsed >= window_)
        samples_.pop_front();
}

void TransferRate::reset() {
    samples_.clear();
}

double TransferRate::bytesPerSecond() const {
    if (samples_.size() < 2)
        return 0.0;
    const Sample& oldest = samples_.front();
    const Sample& newest = samples_.back();
    const auto span = std::chrono::duration<double>(newest.elapsed - oldest.elapsed).count();
    if (span <= 0.0)
        return 0.0;
    return static_cast<double>(newest.bytesDone - oldest.bytesDone) / span;
}

std::optional<int64_t> TransferRate::secondsLeft(int64_t totalBytes) const {
    const double speed = bytesPerSecond();
    if (speed <= 0.0 || totalBytes <= 0)
        return std::nullopt;
    const int64_t done = samples_.back().bytesDone;
    const int64_t remaining = totalBytes > done ? totalBytes - done : 0;
    return static_cast<int64_t>(std::ceil(static_cast<double>(remaining) / speed));
}
