#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "thumbs/rgbaimage.h"
#include "thumbs/thumbnailcache.h"

/**
 * The largest image file, in bytes, that is read whole from a device to make a thumbnail. Callers
 * check the file's size first and do not read a larger file; makeThumbnail refuses more bytes.
 * An embedded preview may still serve a larger file.
 */
inline constexpr size_t kMaxThumbnailSourceBytes = size_t{64} * 1024 * 1024;

/** Thumbnails fit a square box of this many pixels on a side. */
inline constexpr int kThumbnailBoxSide = 200;

/** Images wider or taller than this many pixels get no thumbnail. */
inline constexpr int kMaxThumbnailSourceSide = 16384;

/**
 * Images of more pixels than this are not decoded whole: at 4 bytes a pixel their decoded
 * pixels alone would take 400 MB. An embedded preview may still give them a thumbnail.
 */
inline constexpr int64_t kMaxThumbnailSourcePixels = 100'000'000;

/** The longest side the file list draws a thumbnail at (the extra large icons). */
inline constexpr int kLargestDrawnThumbnailSide = 160;

/** A thumbnail and the size of the image it was made from. */
struct Thumbnail {
    RgbaImage image;
    ImageSize source;
    /** A video's length; nothing for a picture. */
    std::optional<std::chrono::milliseconds> duration = std::nullopt;
};

/**
 * The thumbnail of an image file's contents (JPEG, PNG, Apple's "CgBI" PNG, BMP; other formats
 * are not decoded), fitted into the box by fitIntoBox and shrunk by resampleBox; an image that
 * fits already is kept as it is. A JPEG is decoded scaled down in the DCT where that still covers
 * the fitted size, then turned upright as its Exif orientation says, and its source size is the
 * upright one (sides swapped for an image stored sideways).
 *
 * Nothing, without decoding the pixels, when there are more than kMaxThumbnailSourceBytes, when
 * the header does not parse or gives a side above kMaxThumbnailSourceSide or more than
 * kMaxThumbnailSourcePixels pixels, or when the file is too short for the pixels it announces
 * (see imageDecoderFor's decoders). Nothing when the pixels do not decode (corrupt or truncated
 * data). "CgBI" images come back in red, green, blue, alpha order with their colours still
 * premultiplied by alpha, as stored.
 *
 * May run on several threads at once (see StbImageDecoder for stb_image's switches).
 */
std::optional<Thumbnail> makeThumbnail(std::span<const uint8_t> bytes);

/** The image fitted into the box by fitIntoBox and shrunk by resampleBox when it does not fit. */
std::optional<RgbaImage> fitThumbnail(RgbaImage image);

/**
 * Whether an embedded preview of a picture is enough for its thumbnail: it has the picture's
 * shape (within 1 %, so that a preview with bars added does not pass) and is at least as large
 * as the list draws the picture's thumbnail.
 */
bool previewIsEnough(ImageSize preview, ImageSize picture);
