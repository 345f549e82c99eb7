#include "support/allocationgauge.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<uint64_t> allocated{0};
std::atomic<size_t> refusedAbove{0};

}  // namespace

bool allocationsGauged() {
    const uint64_t before = allocated;
    // Called through pointers that the compiler cannot see through, so that it keeps the call.
    void* (*volatile allocate)(size_t) = &::operator new;
    void (*volatile release)(void*) noexcept = &::operator delete;
    release(allocate(1));
    return allocated != before;
}

uint64_t allocatedBytes() {
    return allocated;
}

void refuseAllocationsAbove(size_t bytes) {
    refusedAbove = bytes;
}

// ThreadSanitizer's runtime brings operator new of its own, which may not be replaced; there
// the gauge stands aside and allocationsGauged() says so.
#if defined(__SANITIZE_THREAD__)
#define PLOVIK_RUNTIME_OWNS_NEW 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define PLOVIK_RUNTIME_OWNS_NEW 1
#endif
#endif

#ifndef PLOVIK_RUNTIME_OWNS_NEW
void* operator new(size_t size) {
    const size_t limit = refusedAbove;
    if (limit != 0 && size > limit)
        throw std::bad_alloc();
    allocated += size;
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, size_t) noexcept {
    std::free(memory);
}
#endif
