#pragma once

/** A width and height in pixels. */
struct FittedSize {
    int width = 0;
    int height = 0;
    bool operator==(const FittedSize&) const = default;
};

/**
 * The size an image of width × height (both positive) is shown at in a box of boxWidth ×
 * boxHeight. An image that fits keeps its size (it is never enlarged). Otherwise its longer side
 * becomes the box's larger side and the other side keeps the aspect ratio, taken in single
 * precision and rounded half up; no side is less than 1. For a square box the result always fits.
 */
FittedSize fitIntoBox(int width, int height, int boxWidth, int boxHeight);
