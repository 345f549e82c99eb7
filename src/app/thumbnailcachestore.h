#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

/** What the preferences dialog needs of the thumbnail disk cache. */
class ThumbnailCacheStore {
public:
    virtual ~ThumbnailCacheStore() = default;

    /**
     * The bytes the cache's files take, 0 when there is no cache; nothing when `stop` was raised
     * before the sum was complete. Runs on a worker thread and must check `stop` as it goes.
     */
    virtual std::optional<std::uint64_t> totalSize(const std::atomic<bool>& stop) const = 0;

    /** Deletes the cache's files. */
    virtual void clear() = 0;
};
