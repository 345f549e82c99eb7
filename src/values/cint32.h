#pragma once

#include <cstdint>

#include "values/object.h"

namespace ZelboLib {

/** A 32-bit signed integer; describes itself in decimal. */
class CInt32 : public Object {
public:
    explicit CInt32(int32_t value) : Object(kTypeInt32), value_(value) {}
    int32_t value() const { return value_; }
    CZelboString description() const override;

private:
    int32_t value_;
};

}  // namespace ZelboLib
