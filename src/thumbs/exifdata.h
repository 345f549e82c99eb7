#pragma once

#include <cstdint>
#include <span>

/** What a thumbnail needs from the TIFF data of an Exif segment. */
struct ExifData {
    /** The Orientation tag (0x0112), 1 (as stored) to 8; 1 when missing or malformed. */
    int orientation = 1;
    /**
     * The JPEG thumbnail of the second directory (IFD1), within the TIFF data it was read from;
     * empty when there is none or its offset and length lie outside the data.
     */
    std::span<const uint8_t> thumbnail;
};

/** Reads the TIFF data that follows an Exif segment's "Exif\0\0" header, bounds-checked. */
ExifData readExif(std::span<const uint8_t> tiff);
