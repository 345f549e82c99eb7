#pragma once

#include <cstdint>
#include <span>
#include <vector>

/**
 * The TIFF data inside a HEIF file's Exif item: HEIF stores it behind a 4-byte offset to the TIFF
 * header, and some writers put "Exif\0\0" between. Empty when no TIFF header is found there.
 */
std::vector<uint8_t> tiffOfHeifExif(std::span<const uint8_t> item);
