#include "handletable.h"

#include <atomic>

namespace plovik::sim {

std::uintptr_t nextHandleValue() {
    // One counter for every kind of handle: a handle of one kind passed where another kind is
    // expected finds nothing.
    static std::atomic<std::uintptr_t> counter{0x1000};
    return counter.fetch_add(0x10) + 0x10;
}

}  // namespace plovik::sim
