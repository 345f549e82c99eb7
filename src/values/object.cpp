#include "values/object.h"

namespace ZelboLib {

void releaseObject(const Object* object) noexcept {
    delete object;
}

}  // namespace ZelboLib
