#include "values/cbool.h"

namespace ZelboLib {

CZelboString CBool::description() const {
    return value_ ? u"True" : u"False";
}

}  // namespace ZelboLib
