#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "thumbs/imagedecoder.h"

/**
 * A PNG or BMP decoded by stb_image, which is built with only those two decoders: files of
 * other formats are refused. Apple's "CgBI" PNGs (a raw deflate stream of blue, green, red and
 * alpha, colours premultiplied) come back in red, green, blue, alpha order, still premultiplied.
 *
 * Refused from the header, before decoding: a PNG whose file is too short for its pixels even at
 * deflate's best ratio (1032 to 1), and a BMP whose pixel rows run past the end of the file
 * (stb_image would read missing rows as black). decode ignores the size asked for.
 *
 * May run on several threads at once. It sets stb_image's per-thread switch for "CgBI" images on
 * the calling thread; stb_image's process-wide un-premultiply switch must stay off.
 */
class StbImageDecoder : public ImageDecoder {
public:
    explicit StbImageDecoder(std::span<const uint8_t> file);

    std::optional<ImageSize> size() const override;
    std::optional<RgbaImage> decode(ImageSize atLeast) override;

private:
    std::span<const uint8_t> file_;
    std::optional<ImageSize> size_;
};
