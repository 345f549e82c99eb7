#include <cstdio>
#include <cstdlib>

#include "fuzztargets.h"

void fuzzCheck(bool condition, std::string_view what) {
    if (condition)
        return;
    std::fprintf(stderr, "fuzz invariant broken: %.*s\n", static_cast<int>(what.size()),
                 what.data());
    std::abort();
}
