#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "thumbs/imagefile.h"
#include "thumbs/thumbnailcache.h"

/** What a JPEG file's segments before its first scan say about the picture. */
struct JpegMetadata {
    /** The stored pixel size from the frame header; 0 × 0 when none was found. */
    ImageSize stored;
    /** The Exif orientation, 1 to 8; 1 without Exif. */
    int orientation = 1;
    /** The Exif thumbnail's JPEG bytes; empty when there is none. */
    std::vector<uint8_t> exifThumbnail;
    /** When the photo was taken, as exifDateTaken reads it; nothing without it. */
    std::optional<std::string> dateTaken;
};

/**
 * Reads the segments of a JPEG file up to its frame header, taking only their headers and the
 * first Exif segment from the file. Nothing when the file does not start like a JPEG. A segment
 * that is malformed or runs past the end ends the walk with what was found before it.
 */
std::optional<JpegMetadata> readJpegMetadata(ImageFile& file);
