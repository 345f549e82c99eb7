#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "thumbs/imagefile.h"
#include "thumbs/thumbnailcache.h"

/** An embedded thumbnail of a HEIF file, taken out into a HEIF file of its own. */
struct HeifThumbnailItem {
    /** The primary image's size once turned upright. */
    ImageSize primary;
    /** The thumbnail's size once turned upright, as its properties state it. */
    ImageSize thumbnail;
    /**
     * A HEIF file whose primary image is the thumbnail, with its coded data, decoder
     * configuration and properties (rotation and mirroring included) as they were.
     */
    std::vector<uint8_t> file;
};

/**
 * The smallest embedded thumbnail of a HEIF file's primary image that previewIsEnough accepts
 * for it, reading only the file's metadata box and the thumbnail's coded data, so that a phone's
 * photo need not be read whole. Nothing when the file has no such thumbnail, keeps it in a way
 * this does not take out (data inside the metadata or made from other items), or its boxes are
 * malformed; every offset, count and size the file states is checked before it is used.
 */
std::optional<HeifThumbnailItem> extractHeifThumbnail(ImageFile& file);

/**
 * The data of a HEIF file's Exif item as stored (a 4-byte offset to the TIFF header, then the
 * Exif data), reading only the metadata box and the item; nothing when there is none, or it is
 * kept in a way this does not read, or the boxes are malformed.
 */
std::optional<std::vector<uint8_t>> extractHeifExif(ImageFile& file);
