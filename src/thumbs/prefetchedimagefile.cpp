#include "thumbs/prefetchedimagefile.h"

#include <algorithm>

void PrefetchedImageFile::addPart(uint64_t offset, std::vector<uint8_t> bytes) {
    miss_.reset();
    if (bytes.empty())
        return;
    uint64_t start = offset;
    uint64_t end = offset + bytes.size();
    // The first part that may touch the new one: the last that starts at or before it.
    auto touching = parts_.upper_bound(start);
    if (touching != parts_.begin() &&
        std::prev(touching)->first + std::prev(touching)->second.size() >= start)
        --touching;
    std::vector<uint8_t> joined;
    while (touching != parts_.end() && touching->first <= end) {
        const uint64_t partEnd = touching->first + touching->second.size();
        if (joined.empty()) {
            start = std::min(start, touching->first);
            joined.resize(static_cast<size_t>(std::max(end, partEnd) - start));
        } else if (partEnd > start + joined.size()) {
            joined.resize(static_cast<size_t>(partEnd - start));
        }
        std::copy(touching->second.begin(), touching->second.end(),
                  joined.begin() + static_cast<std::ptrdiff_t>(touching->first - start));
        end = std::max(end, partEnd);
        touching = parts_.erase(touching);
    }
    if (joined.empty()) {
        parts_.emplace(offset, std::move(bytes));
        return;
    }
    std::copy(bytes.begin(), bytes.end(),
              joined.begin() + static_cast<std::ptrdiff_t>(offset - start));
    parts_.emplace(start, std::move(joined));
}

bool PrefetchedImageFile::read(uint64_t offset, std::span<uint8_t> into) {
    // Past the end is the file's own answer, as for any image file.
    if (offset > size_ || into.size() > size_ - offset)
        return false;
    if (miss_)
        return false;
    auto part = parts_.upper_bound(offset);
    if (part != parts_.begin()) {
        --part;
        const uint64_t within = offset - part->first;
        if (within <= part->second.size() && into.size() <= part->second.size() - within) {
            std::copy_n(part->second.begin() + static_cast<std::ptrdiff_t>(within), into.size(),
                        into.begin());
            return true;
        }
    }
    miss_ = Range{offset, into.size()};
    return false;
}
