// Preloaded into the runs under valgrind: libhwy (which FFmpeg's JPEG XL codec brings in) measures
// its timer when it is loaded with RDTSCP, an instruction valgrind refuses where the processor's
// CPUID does not announce it, as on virtual machines that hide it. This answers in its place.
#include <cstdint>

namespace hwy::platform {

__attribute__((visibility("default"))) uint64_t TimerResolution() { return 1; }

}  // namespace hwy::platform
