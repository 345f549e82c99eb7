#pragma once

#include "values/object.h"

namespace ZelboLib {

/** A text value; describes itself as the text. */
class CAutoString : public Object {
public:
    explicit CAutoString(CZelboString text) : Object(kTypeString), text_(std::move(text)) {}
    const CZelboString& text() const { return text_; }
    CZelboString description() const override { return text_; }

private:
    CZelboString text_;
};

}  // namespace ZelboLib
