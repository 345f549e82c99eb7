#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "values/zelbostring.h"

/** What convertHeicToJpeg made of a file: the JPEG's bytes, or why there are none. */
struct HeicToJpegResult {
    /** Empty when the file could not be converted. */
    std::vector<uint8_t> jpeg;
    /** One line; empty when the JPEG was made. */
    CZelboString failure;
};

/**
 * A HEIF file's (HEIC's) primary image as a JPEG file: decoded with libheif and turned upright as
 * its rotation and mirroring properties say, encoded with libjpeg-turbo at kHeicJpegQuality. The
 * JPEG carries the file's Exif (dates, place, camera) with its orientation reset to upright, and
 * its colour profile when it has one.
 *
 * Images wider or taller than kMaxHeicSide, or of more than kMaxHeicPixels, are refused before any
 * pixel is decoded; so is a file whose Exif does not fit a JPEG segment. Safe on any bytes.
 */
HeicToJpegResult convertHeicToJpeg(std::span<const uint8_t> heic);

inline constexpr int kHeicJpegQuality = 92;
inline constexpr int kMaxHeicSide = 32768;
// A 48-megapixel photo, or a panorama, passes; the decoded pixels take 3 bytes each.
inline constexpr int64_t kMaxHeicPixels = 100'000'000;
