#include "values/nsarray.h"

namespace ZelboLib {

NSArray::~NSArray() {
    if (!ownsElements_)
        return;
    for (Object* element : elements_)
        releaseObject(element);
}

Object* NSArray::objectAtIndex(int index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return elements_[static_cast<size_t>(index)];
}

void NSArray::addObject(Object* object) {
    elements_.push_back(object);
}

void NSArray::addObjectsFromArray(const NSArray& other) {
    elements_.insert(elements_.end(), other.elements_.begin(), other.elements_.end());
}

}  // namespace ZelboLib
