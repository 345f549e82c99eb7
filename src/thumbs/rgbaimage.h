#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

/** An image of 8-bit red, green, blue and alpha per pixel, rows top to bottom without padding. */
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    /** Positive sizes and exactly width × height × 4 bytes of pixels. */
    bool isValid() const;
    bool operator==(const RgbaImage&) const = default;
};

/** The image as a PNG file (8-bit RGBA, not interlaced); nothing for an invalid image. */
std::optional<std::vector<uint8_t>> encodePng(const RgbaImage& image);

/**
 * An image file's contents (PNG, Apple's "CgBI" PNG, BMP or JPEG) decoded whole to RGBA by
 * imageDecoderFor's decoder; nothing when it is refused or does not decode.
 */
std::optional<RgbaImage> decodeImage(std::span<const uint8_t> file);
