#pragma once

#include <cstdint>
#include <span>

#include "thumbs/rgbaimage.h"

/**
 * The Orientation tag (0x0112) of a JPEG file's Exif segment, from 1 to 8: how the stored pixels
 * must be turned to stand upright. 1 (as stored) when the bytes are not a JPEG, carry no Exif
 * segment or no such tag, or when the tag is malformed. Reads nothing outside the bytes, whatever
 * offsets and counts the segment claims.
 */
int exifOrientation(std::span<const uint8_t> jpeg);

/** Whether an image of this orientation is stored sideways (5 to 8), with its sides swapped. */
bool orientationTurnsSideways(int orientation);

/**
 * The image turned upright from the way an Exif orientation says it is stored: 2 mirrors it left
 * to right, 3 turns it half round, 4 flips it top to bottom, 5 mirrors it about the diagonal from
 * the top left, 6 turns it a quarter clockwise, 7 mirrors it about the other diagonal and 8 turns
 * it a quarter counter-clockwise. The image as it is for 1, any other value or an invalid image.
 */
RgbaImage orientUpright(const RgbaImage& image, int orientation);
