#pragma once

#include <cstdint>

#include "values/zelbostring.h"

/**
 * The size text shown for files, capacities and the cache: "0", "1 byte", "N bytes" below 1024
 * (and for negative sizes), then "%.2f" of KB (single precision), MB, GB or TB in powers of 1024.
 * The decimal point is always ".", whatever the locale.
 */
CZelboString formatByteSize(int64_t size);
