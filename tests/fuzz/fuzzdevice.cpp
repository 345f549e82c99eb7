#include "fuzzdevice.h"

FakeMobileDevice& fuzzDevice() {
    static FakeMobileDevice fake;
    return fake;
}
