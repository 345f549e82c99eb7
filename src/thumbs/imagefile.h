#pragma once

#include <cstdint>
#include <span>

/**
 * Random access to the bytes of an image file, so that a decoder reads only the parts it needs
 * (a header, an embedded preview) instead of the whole file.
 */
class ImageFile {
public:
    virtual ~ImageFile() = default;

    /** The file's size in bytes. */
    virtual uint64_t size() const = 0;
    /**
     * Fills into with the bytes from offset on. False, with into's contents unspecified, when
     * they run past the end of the file or cannot be read; once a read has failed for any other
     * reason than the end, every later one fails too.
     */
    virtual bool read(uint64_t offset, std::span<uint8_t> into) = 0;
};
