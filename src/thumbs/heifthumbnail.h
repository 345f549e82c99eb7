#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "thumbs/imagefile.h"
#include "thumbs/thumbnailmaker.h"

/** Whether a file starting with these bytes is a HEIF file (HEIC and its kin) libheif reads. */
bool looksLikeHeif(std::span<const uint8_t> start);

/**
 * The thumbnail of a HEIF file's primary image, upright as the file's transformation properties
 * (rotation, mirroring) say, and the upright size of the primary image.
 *
 * Made from the image's embedded thumbnail when extractHeifThumbnail finds one that serves, which
 * reads only the file's metadata and the thumbnail's data. Otherwise from the primary image,
 * which is then decoded only when its sides are within kMaxThumbnailSourceSide and its pixels
 * within kMaxThumbnailSourcePixels (libheif reads the coded data of every image as it opens the
 * file). Nothing when the file does not parse or the image does not decode.
 */
std::optional<Thumbnail> heifThumbnail(ImageFile& file);
