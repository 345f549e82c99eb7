#pragma once

#include <vector>

#include "values/object.h"

namespace ZelboLib {

/**
 * An ordered list of objects. An owning array (the flag is fixed at construction) releases its
 * elements when it is destroyed; otherwise they stay their owner's.
 */
class NSArray : public Object {
public:
    explicit NSArray(bool ownsElements) : Object(kTypeArray), ownsElements_(ownsElements) {}
    ~NSArray() override;

    bool ownsElements() const { return ownsElements_; }
    int count() const { return static_cast<int>(elements_.size()); }
    /** The element at index 0 … count() - 1; null outside that range. */
    Object* objectAtIndex(int index) const;
    void addObject(Object* object);
    /** Appends other's element pointers in order; ownership moves only if the caller empties other.
     */
    void addObjectsFromArray(const NSArray& other);

private:
    bool ownsElements_;
    std::vector<Object*> elements_;
};

}  // namespace ZelboLib
