#pragma once

#include <optional>
#include <string>

#include "thumbs/imagefile.h"

/**
 * When a photo was taken, as the Exif of a JPEG or HEIF (HEIC) file says ("YYYY:MM:DD HH:MM:SS",
 * the camera's local time), reading only the file's metadata. Nothing for other files, or when
 * the date is missing or malformed.
 */
std::optional<std::string> photoDateTaken(ImageFile& file);
