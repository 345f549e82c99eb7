#pragma once

#include <cstdint>

#include "values/zelbostring.h"

namespace ZelboLib {
class FileSystemNode;
}

/**
 * The text that names a device item in the thumbnail cache: the device's UniqueDeviceID, "/",
 * then the node's display path. The same file on two devices has two keys.
 */
CZelboString thumbnailCacheKey(const ZelboLib::FileSystemNode& node);

/**
 * The number that names a key's files in the cache: over the key's UTF-16 little-endian bytes,
 * h = h * 33 + byte from 5381, modulo 2^32. Different keys may share a hash.
 */
uint32_t thumbnailCacheHash(const CZelboString& key);
