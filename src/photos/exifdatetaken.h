#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

/**
 * When a photo was taken as the TIFF data of its Exif segment says: the DateTimeOriginal tag of
 * its Exif directory, "YYYY:MM:DD HH:MM:SS" (the camera's local time). Nothing when the tag is
 * missing or not of that form. Reads nothing outside the data.
 */
std::optional<std::string> exifDateTaken(std::span<const uint8_t> tiff);
