#pragma once

#include <optional>

#include "thumbs/imagefile.h"
#include "thumbs/thumbnailmaker.h"

/**
 * The thumbnail of an image file, reading no more of it than needed: a HEIF file through
 * heifThumbnail; a QuickTime or MP4 video (looksLikeVideo) through videoThumbnail; a JPEG from
 * its Exif thumbnail when previewIsEnough says it serves (turned upright as the picture's Exif
 * orientation says); anything else, and a JPEG without such a preview, from the whole file through
 * makeThumbnail when it has at most kMaxThumbnailSourceBytes. Nothing when no thumbnail can be made
 * or a read fails.
 */
std::optional<Thumbnail> readThumbnail(ImageFile& file);

/**
 * readThumbnail for a file whose small reads cost no more than its large ones (its bytes are in
 * memory): the same reads, without the cached blocks readThumbnail puts in front of the file.
 */
std::optional<Thumbnail> readThumbnailDirectly(ImageFile& file);
