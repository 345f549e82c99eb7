#pragma once

#include <optional>

#include "thumbs/rgbaimage.h"

/**
 * The image shrunk to width × height with a box filter, first along rows, then along columns.
 * Each target pixel is the plain average of the source pixels whose centres lie within half a
 * target pixel of its centre (a source centre exactly half a target pixel after it counts, one
 * exactly half a pixel before does not). Channels are averaged as value / 255, alpha included,
 * with no gamma conversion. Colours return to bytes through steps of 1/256, alpha by rounding;
 * an image of one colour keeps that colour exactly.
 *
 * Nothing when source is not valid or the target size is not between 1 × 1 and the source size.
 */
std::optional<RgbaImage> resampleBox(const RgbaImage& source, int width, int height);
