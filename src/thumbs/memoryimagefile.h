#pragma once

#include <algorithm>

#include "thumbs/imagefile.h"

/** An image file whose bytes are all in memory already; they must outlive it. */
class MemoryImageFile : public ImageFile {
public:
    explicit MemoryImageFile(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint64_t size() const override { return bytes_.size(); }
    bool read(uint64_t offset, std::span<uint8_t> into) override {
        if (offset > bytes_.size() || into.size() > bytes_.size() - offset)
            return false;
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), into.size(),
                    into.begin());
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
};
