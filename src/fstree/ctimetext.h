#pragma once

#include <cstdint>

#include "values/zelbostring.h"

/**
 * A device time (nanoseconds since 1970 UTC, cut to whole seconds toward zero) in local time, laid
 * out as ctime does on the system the list was first written for: "Wed Jun 30 21:49:08 1993\n",
 * with a two-digit day and English names whatever the locale. "" when the time cannot be
 * converted.
 */
CZelboString localCtimeText(int64_t nanoseconds);
