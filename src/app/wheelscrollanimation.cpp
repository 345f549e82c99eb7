#include "app/wheelscrollanimation.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kNotchWithMotion = 8.0;
constexpr double kNotchAgainstMotion = 12.0;
constexpr int kTicksPerVelocityRoot = 5;

}  // namespace

void WheelScrollAnimation::addNotch(Direction direction) {
    velocity_ = pendingVelocity();
    if (direction == Direction::Up)
        velocity_ += velocity_ >= 0 ? kNotchWithMotion : kNotchAgainstMotion;
    else
        velocity_ -= velocity_ <= 0 ? kNotchWithMotion : kNotchAgainstMotion;
    velocity_ = std::clamp(velocity_, -kMaxVelocity, kMaxVelocity);
    total_ = kTicksPerVelocityRoot * static_cast<int>(std::floor(std::sqrt(std::abs(velocity_))));
    remaining_ = total_;
}

double WheelScrollAnimation::nextTick() {
    if (remaining_ <= 0)
        return 0.0;
    --remaining_;
    return pendingVelocity();
}

void WheelScrollAnimation::stop() {
    velocity_ = 0.0;
    total_ = 0;
    remaining_ = 0;
}

double WheelScrollAnimation::pendingVelocity() const {
    if (total_ <= 0)
        return 0.0;
    const double share = static_cast<double>(remaining_) / total_;
    return velocity_ * share * share;
}
