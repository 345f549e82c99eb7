#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

/**
 * A copy of the TIFF data of an Exif segment whose Orientation tags (in the first directory and
 * in the thumbnail's) say 1, for pixels that have been turned upright already; every other tag is
 * kept byte for byte. Nothing when the data does not start with a TIFF header. Reads and writes
 * nothing outside the data, whatever offsets and counts it claims.
 */
std::optional<std::vector<uint8_t>> uprightExif(std::span<const uint8_t> tiff);
