// The libFuzzer entry of one target, named by PLOVIK_FUZZ_ENTRY at compile time.
#include "fuzztargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PLOVIK_FUZZ_ENTRY(data, size);
    return 0;
}
