#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "thumbs/imagefile.h"

/**
 * An image file of which only some parts were read, ahead of need: reads within a part are
 * answered from it. The first read that needs bytes outside the parts is kept as the file's
 * miss and fails, as does every later one, so that a decoder tells what it still wants and the
 * part can be read before the decoder runs again.
 */
class PrefetchedImageFile : public ImageFile {
public:
    struct Range {
        uint64_t offset = 0;
        uint64_t length = 0;
    };

    explicit PrefetchedImageFile(uint64_t size) : size_(size) {}

    /** Adds bytes from offset on, joining the parts they touch; a new decode starts without a miss.
     */
    void addPart(uint64_t offset, std::vector<uint8_t> bytes);
    /** The first read since the last part was added that needed bytes outside the parts. */
    const std::optional<Range>& miss() const { return miss_; }

    uint64_t size() const override { return size_; }
    bool read(uint64_t offset, std::span<uint8_t> into) override;

private:
    const uint64_t size_;
    // By offset; no two touch.
    std::map<uint64_t, std::vector<uint8_t>> parts_;
    std::optional<Range> miss_;
};
