#pragma once

#include <string_view>

/**
 * The order file managers list names in: runs of digits compare by their value ("IMG_2" before
 * "IMG_10"), letters without regard to ASCII case ("alpha" before "Beta"); names equal so far
 * fall back to plain code-unit order, so that only identical names compare equal. Negative, 0 or
 * positive, as a is before, the same as or after b.
 */
int naturalCompare(std::u16string_view a, std::u16string_view b);
