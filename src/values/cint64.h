#pragma once

#include <cstdint>

#include "values/object.h"

namespace ZelboLib {

/** A 64-bit signed integer; describes itself in decimal. */
class CInt64 : public Object {
public:
    explicit CInt64(int64_t value) : Object(kTypeInt64), value_(value) {}
    int64_t value() const { return value_; }
    CZelboString description() const override;

private:
    int64_t value_;
};

}  // namespace ZelboLib
