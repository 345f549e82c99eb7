#pragma once

#include <string_view>

/**
 * Whether a name that came from the device may become one component of a local path: not empty,
 * not "." or "..", and without a separator or a NUL, any of which would place a download
 * somewhere other than inside the chosen folder.
 */
bool isSafeLocalName(std::u16string_view name);
