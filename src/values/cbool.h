#pragma once

#include "values/object.h"

namespace ZelboLib {

/** A boolean; describes itself as "True" or "False". */
class CBool : public Object {
public:
    explicit CBool(bool value) : Object(kTypeBool), value_(value) {}
    bool value() const { return value_; }
    CZelboString description() const override;

private:
    bool value_;
};

}  // namespace ZelboLib
