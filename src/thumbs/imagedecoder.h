#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "thumbs/rgbaimage.h"
#include "thumbs/thumbnailcache.h"

/**
 * Decodes one image file's contents to RGBA in two steps, so that a caller can judge the
 * announced size before any pixel is decoded. The bytes must outlive the decoder.
 */
class ImageDecoder {
public:
    virtual ~ImageDecoder() = default;

    /**
     * The image's size as its header announces it; nothing when the header does not read or the
     * file is too short to hold that many pixels, in which case decode gives nothing either.
     */
    virtual std::optional<ImageSize> size() const = 0;

    /**
     * The pixels, at the announced size or, where the format can do so cheaply, at a smaller
     * size that still covers atLeast in both sides. Nothing when the data does not decode or is
     * cut short. Called at most once.
     */
    virtual std::optional<RgbaImage> decode(ImageSize atLeast) = 0;
};

/**
 * The decoder for a file's format, told by its first bytes: JpegDecoder for JPEG,
 * StbImageDecoder for PNG (Apple's "CgBI" variant too), BMP and anything else, which it refuses.
 */
std::unique_ptr<ImageDecoder> imageDecoderFor(std::span<const uint8_t> file);
