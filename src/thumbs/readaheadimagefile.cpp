#include "thumbs/readaheadimagefile.h"

#include <algorithm>

bool ReadAheadImageFile::read(uint64_t offset, std::span<uint8_t> into) {
    const uint64_t fileSize = size();
    if (offset > fileSize || into.size() > fileSize - offset)
        return false;
    const bool large = into.size() >= kBlockSize;
    size_t copied = 0;
    while (copied < into.size()) {
        const uint64_t at = offset + copied;
        // A large read takes what is cached already and the rest straight from the file.
        if (large && !isCached(at / kBlockSize))
            return file_.read(at, into.subspan(copied));
        const Block* cached = block(at / kBlockSize);
        if (cached == nullptr)
            return false;
        const size_t within = static_cast<size_t>(at % kBlockSize);
        const size_t count = std::min(into.size() - copied, cached->bytes.size() - within);
        std::copy_n(cached->bytes.begin() + static_cast<std::ptrdiff_t>(within), count,
                    into.begin() + static_cast<std::ptrdiff_t>(copied));
        copied += count;
    }
    return true;
}

bool ReadAheadImageFile::isCached(uint64_t index) const {
    return std::any_of(blocks_.begin(), blocks_.end(),
                       [index](const Block& cached) { return cached.index == index; });
}

const ReadAheadImageFile::Block* ReadAheadImageFile::block(uint64_t index) {
    const auto found = std::find_if(blocks_.begin(), blocks_.end(),
                                    [index](const Block& cached) { return cached.index == index; });
    if (found != blocks_.end()) {
        blocks_.splice(blocks_.begin(), blocks_, found);
        return &blocks_.front();
    }
    const uint64_t start = index * kBlockSize;
    // The last block ends with the file.
    Block loaded{index, std::vector<uint8_t>(
                            static_cast<size_t>(std::min<uint64_t>(kBlockSize, size() - start)))};
    if (!file_.read(start, loaded.bytes))
        return nullptr;
    if (blocks_.size() == kCachedBlocks)
        blocks_.pop_back();
    blocks_.push_front(std::move(loaded));
    return &blocks_.front();
}
