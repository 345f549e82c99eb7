#include "thumbs/boxfit.h"

#include <algorithm>

FittedSize fitIntoBox(int width, int height, int boxWidth, int boxHeight) {
    if (width <= boxWidth && height <= boxHeight)
        return {width, height};
    const int side = std::max(boxWidth, boxHeight);
    const float ratio = static_cast<float>(width) / static_cast<float>(height);
    FittedSize fitted{side, side};
    if (ratio > 1.0f)
        fitted.height = static_cast<int>(static_cast<float>(side) / ratio + 0.5f);
    else
        fitted.width = static_cast<int>(static_cast<float>(side) * ratio + 0.5f);
    fitted.width = std::max(fitted.width, 1);
    fitted.height = std::max(fitted.height, 1);
    return fitted;
}
