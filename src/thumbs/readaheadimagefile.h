#pragma once

#include <cstddef>
#include <list>
#include <vector>

#include "thumbs/imagefile.h"

/**
 * An image file read through a few cached blocks, so that a decoder's many small reads of headers
 * and boxes cost one request to the underlying file per block instead of one each. Reads of a
 * block's size or more take the cached blocks they start with and go straight to the file for
 * the rest, so that a whole read after a look at the header reads no byte twice.
 */
class ReadAheadImageFile : public ImageFile {
public:
    static constexpr size_t kBlockSize = 64 * 1024;
    static constexpr size_t kCachedBlocks = 8;

    /** file must outlive it. */
    explicit ReadAheadImageFile(ImageFile& file) : file_(file) {}

    uint64_t size() const override { return file_.size(); }
    bool read(uint64_t offset, std::span<uint8_t> into) override;

private:
    struct Block {
        uint64_t index = 0;
        std::vector<uint8_t> bytes;
    };

    bool isCached(uint64_t index) const;
    /** The block with that index, read when it is not cached; null when it cannot be read. */
    const Block* block(uint64_t index);

    ImageFile& file_;
    // Most recently used first.
    std::list<Block> blocks_;
};
