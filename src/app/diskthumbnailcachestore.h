#pragma once

#include "app/thumbnailcachestore.h"
#include "thumbs/thumbnailcache.h"

/** The preferences dialog's view of the thumbnail cache on disk. */
class DiskThumbnailCacheStore : public ThumbnailCacheStore {
public:
    std::optional<std::uint64_t> totalSize(const std::atomic<bool>& stop) const override {
        return cache_.totalSize(stop);
    }
    void clear() override { cache_.clear(); }

private:
    ThumbnailCache cache_;
};
