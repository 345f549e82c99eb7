#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

/**
 * The fuzz targets' bodies. Each takes one input of any bytes and returns normally whatever they
 * hold; a fault shows as a sanitizer report, an abort from a broken invariant, or an uncaught
 * exception. The libFuzzer executables and the replay test both call these.
 */
using FuzzEntry = void (*)(const uint8_t* data, size_t size);

void fuzzAfcInfoTexts(const uint8_t* data, size_t size);
void fuzzAfcReplies(const uint8_t* data, size_t size);
void fuzzAfcRequests(const uint8_t* data, size_t size);
void fuzzExifTiff(const uint8_t* data, size_t size);
void fuzzHeifBoxes(const uint8_t* data, size_t size);
void fuzzJpegMetadata(const uint8_t* data, size_t size);
void fuzzLockdownMessages(const uint8_t* data, size_t size);
void fuzzMakeThumbnail(const uint8_t* data, size_t size);
void fuzzMuxRequests(const uint8_t* data, size_t size);
void fuzzPlistConversion(const uint8_t* data, size_t size);
void fuzzPngChunks(const uint8_t* data, size_t size);
void fuzzServiceMessages(const uint8_t* data, size_t size);
void fuzzTextFormatter(const uint8_t* data, size_t size);
void fuzzThumbnailCacheEntries(const uint8_t* data, size_t size);
void fuzzThumbnailReader(const uint8_t* data, size_t size);
void fuzzUtf8(const uint8_t* data, size_t size);
void fuzzVideoThumbnail(const uint8_t* data, size_t size);

/** Aborts with a message when an invariant of a target does not hold. */
void fuzzCheck(bool condition, std::string_view what);
