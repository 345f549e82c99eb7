#include "thumbs/videoorientation.h"

namespace {

int sign(int32_t value) { return (value > 0) - (value < 0); }

}  // namespace

int videoOrientation(std::span<const int32_t, 9> displayMatrix) {
    const int a = sign(displayMatrix[0]);
    const int b = sign(displayMatrix[1]);
    const int c = sign(displayMatrix[3]);
    const int d = sign(displayMatrix[4]);
    if (b == 0 && c == 0 && a != 0 && d != 0) {
        if (a > 0)
            return d > 0 ? 1 : 4;
        return d > 0 ? 2 : 3;
    }
    if (a == 0 && d == 0 && b != 0 && c != 0) {
        if (b > 0)
            return c < 0 ? 6 : 5;
        return c > 0 ? 8 : 7;
    }
    return 1;
}
