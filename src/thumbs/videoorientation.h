#pragma once

#include <cstdint>
#include <span>

/**
 * The Exif orientation (1 to 8, see orientUpright) that turns a video's stored frames upright as
 * its display matrix says: FFmpeg's 3 × 3 matrix in 16.16 fixed point (the track header's), which
 * maps a stored pixel (p, q) to (a p + c q, b p + d q) shown, a, b, c, d being its entries 0, 1,
 * 3 and 4. A phone's video taken upright has a = d = 0, b = 1, c = -1: turned a quarter
 * clockwise, 6. Only quarter turns and mirrorings count; any other matrix (a slant, a scale only,
 * a null one) gives 1, frames as stored.
 */
int videoOrientation(std::span<const int32_t, 9> displayMatrix);
