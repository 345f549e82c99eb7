#include "values/cint32.h"

namespace ZelboLib {

CZelboString CInt32::description() const {
    CZelboString text;
    text.format(u"%d", value_);
    return text;
}

}  // namespace ZelboLib
