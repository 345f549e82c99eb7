#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

/** A drawn picture: 8-bit red, green and blue per pixel, rows top to bottom. */
struct SamplePicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

/**
 * A landscape: a sky-to-ground gradient with a sun, varied per seed so that pictures differ,
 * a red square in the top left corner, so that a picture turned the wrong way shows, and noise
 * like a camera sensor's, so that it compresses as a photo does.
 */
SamplePicture drawLandscape(int width, int height, int seed);

/**
 * The pixels a camera stores for an upright picture with this Exif orientation: the upright
 * picture turned back. Orientations 1, 3, 6 and 8 (turns, no mirroring); others store it as is.
 */
SamplePicture storedForOrientation(const SamplePicture& upright, int orientation);

/** The picture shrunk (averaging boxes of pixels) so that its longer side is longest. */
SamplePicture shrinkPicture(const SamplePicture& picture, int longest);

/**
 * A JPEG file as a camera writes it: the picture as stored pixels, then an Exif segment with the
 * orientation tag (1 to 8: how the stored pixels must be turned to stand upright) and, when
 * previewSide is positive, an Exif thumbnail of the picture whose longer side is previewSide.
 */
std::vector<uint8_t> cameraJpeg(const SamplePicture& picture, int orientation, int previewSide);

/** What a phone's Exif says of a photo besides its orientation. */
struct PhoneExif {
    std::string make = "Apple";
    std::string model = "iPhone 15";
    /** "YYYY:MM:DD HH:MM:SS", local time. */
    std::string dateTaken = "2024:07:14 09:30:05";
    /** Degrees, north and east positive. */
    double latitude = 48.858370;
    double longitude = -2.294481;
};

/**
 * Little-endian TIFF data of an Exif segment as a phone writes it: Make, Model and Orientation in
 * the first directory, DateTimeOriginal in the Exif directory, latitude and longitude (degrees,
 * minutes and hundredths of seconds, with their N/S and E/W references) in the GPS directory.
 */
std::vector<uint8_t> phoneExifTiff(int orientation, const PhoneExif& exif);

/**
 * A HEIC file as a phone writes it: the picture as the primary image, stored as given and
 * turned upright by rotation and mirroring properties for the orientation (1 to 8, as in Exif),
 * with an embedded thumbnail whose longer side is thumbnailSide when it is positive, and the
 * Exif TIFF data when given. Empty when libheif cannot encode HEVC.
 */
std::vector<uint8_t> cameraHeic(const SamplePicture& picture, int orientation, int thumbnailSide,
                                std::span<const uint8_t> exifTiff = {});
