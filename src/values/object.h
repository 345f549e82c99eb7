#pragma once

#include <cstdint>
#include <memory>

#include "values/zelbostring.h"

namespace ZelboLib {

/** The kind of a value object; only the value classes set one. */
enum TypeCode : int32_t {
    kTypeNone = 0,
    kTypeBool = 257,
    kTypeInt32 = 260,
    kTypeInt64 = 263,
    kTypeString = 264,
    kTypeDictionary = 265,
    kTypeArray = 267,
};

/**
 * Root of the value objects that carry device data and of the device-side service classes. Heap
 * objects, released through releaseObject. Safe to hand from one thread to another; not safe to
 * use from two threads at once.
 */
class Object {
public:
    explicit Object(int32_t typeCode = kTypeNone) : typeCode_(typeCode) {}
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;

    /** A printable form of the value; "" for containers and service objects. */
    virtual CZelboString description() const { return {}; }
    CZelboString className() const { return u"Object"; }

    int32_t typeCode() const { return typeCode_; }

private:
    int32_t typeCode_;
};

/** Destroys object; null is ignored. */
void releaseObject(const Object* object) noexcept;

/** Deleter for std::unique_ptr<Object-derived> that goes through releaseObject. */
struct ObjectReleaser {
    void operator()(const Object* object) const noexcept { releaseObject(object); }
};

/** Sole ownership of a value or service object. */
template <typename T>
using Owned = std::unique_ptr<T, ObjectReleaser>;

}  // namespace ZelboLib
