#include "values/cint64.h"

namespace ZelboLib {

CZelboString CInt64::description() const {
    CZelboString text;
    text.format(u"%I64d", value_);
    return text;
}

}  // namespace ZelboLib
