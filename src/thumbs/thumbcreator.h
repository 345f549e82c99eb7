#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "thumbs/rgbaimage.h"
#include "values/zelbostring.h"

class ThumbnailCache;

namespace ZelboLib {
class FileSystemNode;
}

/** One ask for the thumbnail of a device file, and whom to tell when the attempt has ended. */
struct ThumbnailRequest {
    std::shared_ptr<ZelboLib::FileSystemNode> node;
    /** Handed back untouched: the asker's row, node or generation. */
    std::uintptr_t tag1 = 0;
    std::uintptr_t tag2 = 0;
    /**
     * Runs on the thread that made the attempt, after it ended, whether a thumbnail was made or
     * not; it may only hand the news on (post to the asker's thread), never block or call back.
     */
    std::function<void(const ThumbnailRequest&)> completion;
    /**
     * For requests with a thread of their own: runs on that thread after each read from the
     * device with the file's size and the bytes read so far; it may only hand the news on.
     */
    std::function<void(int64_t total, int64_t done)> progress;
    /** For requests with a thread of their own: once raised, the read ends early. */
    std::shared_ptr<const std::atomic<bool>> cancelled;
};

/**
 * Makes thumbnails of device images in the background and keeps them in a ThumbnailCache, so
 * that a file is read and decoded once and then answered from the cache.
 *
 * Requests of the file list go to one shared worker thread through a queue that holds each file
 * (by its full cache key) once; every request for a queued file is told when that file's attempt
 * ends. Requests of the inspector get a thread of their own, which runs beside the worker.
 *
 * Only what readThumbnail needs of a file is read: its headers and embedded preview where that
 * serves, a video's index and one keyframe, the whole file otherwise; a video's duration is
 * cached with its thumbnail. A file is read only when it is not a folder and the device
 * reports its listed size (at least 1 byte) when it is opened. A file whose reads fail, or that
 * does not decode, gets no cache entry and is tried again when it is asked for again.
 *
 * The shared worker takes the newest requests first, a few dozen at a time whose headers and
 * embedded previews it reads ahead in streams of requests in flight, and a request for a queued
 * file makes it the newest again: the rows drawn last are the ones on show, and rows that
 * scrolled out of view wait.
 *
 * getThumbnail and stopThumbnails may be called from any thread but never from a completion.
 */
class ThumbCreator {
public:
    explicit ThumbCreator(ThumbnailCache& cache);
    /** Ends reads in progress, drops the queue and joins every thread it started. */
    ~ThumbCreator();
    ThumbCreator(const ThumbCreator&) = delete;
    ThumbCreator& operator=(const ThumbCreator&) = delete;

    /**
     * The cached thumbnail of the request's node. Nothing when there is no request or node, when
     * the node's name is not an image's (wantsThumbnail), or when it is not cached yet; in the
     * last case, with queueIfMissing, the thumbnail is made in the background, on the shared
     * worker when useSharedWorker is true and on a thread of its own otherwise, and the request's
     * completion runs when the attempt has ended.
     */
    std::optional<RgbaImage> getThumbnail(std::optional<ThumbnailRequest> request,
                                          bool queueIfMissing, bool useSharedWorker);

    /** Makes node's request on the shared worker's queue, if any, the newest one. */
    void bringForward(const ZelboLib::FileSystemNode& node);

    /**
     * Ends the shared worker's read in progress early (its completion still runs, nothing is
     * cached for it), waits for the worker to end and drops every queued request without
     * running its completion. Reads of the inspector's threads that are in progress meanwhile
     * end early too. Cached thumbnails stay.
     */
    void stopThumbnails();

private:
    struct QueueEntry {
        std::vector<ThumbnailRequest> requests;
        std::uint64_t arrival = 0;
        bool started = false;
    };
    struct DedicatedThread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };

    // A queued file the shared worker took.
    struct Started {
        CZelboString key;
        std::shared_ptr<ZelboLib::FileSystemNode> node;
        bool finished = false;
    };

    void enqueue(const CZelboString& key, ThumbnailRequest request);
    void startDedicated(ThumbnailRequest request);
    void runWorker();
    /** Marks the count newest files not started yet as started; called with queueMutex_ held. */
    std::vector<Started> takeNewest(size_t count);
    /** Takes started's file off the queue and tells its requests, once. */
    void finish(Started& started);
    /**
     * Makes and caches the thumbnails of the worker's files from parts read ahead of them
     * (readThumbnailsAhead), those needing more as createThumbnail does; finishes each once the
     * round that ended it is through, in the batch's order.
     */
    void createThumbnails(std::vector<Started>& batch);
    /**
     * Reads, decodes and caches node's thumbnail; nothing is cached when any step fails. The
     * request, when given, may cancel the read and is told its progress.
     */
    void createThumbnail(ZelboLib::FileSystemNode& node, const ThumbnailRequest* request) const;
    void stopWorker();

    ThumbnailCache& cache_;
    // Raised while stopping: ends reads in progress at their next chunk.
    std::atomic<bool> stopping_{false};

    // Guards the queue and the worker's state flags.
    std::mutex queueMutex_;
    std::map<CZelboString, QueueEntry, ZelboStringLess> queue_;
    std::uint64_t arrivals_ = 0;
    bool workerRunning_ = false;
    bool stopQueue_ = false;

    // Guards the thread objects; never taken by the threads themselves.
    std::mutex threadsMutex_;
    std::thread worker_;
    std::vector<DedicatedThread> dedicated_;
};
