#include "thumbs/thumbcreator.h"

#include <algorithm>
#include <utility>

#include "afc/afcdirectory.h"
#include "fstree/filesystemnode.h"
#include "fstree/filesystemnodedelegate.h"
#include "thumbs/deviceimagefile.h"
#include "thumbs/thumbnailcache.h"
#include "thumbs/thumbnailcachekey.h"
#include "thumbs/thumbnailimagerule.h"
#include "thumbs/thumbnailreadahead.h"
#include "thumbs/thumbnailreader.h"

namespace {

// Files the shared worker reads ahead together: enough to fill the link through its latency and
// spread each round's wait over many thumbnails, few enough that new requests wait little.
constexpr size_t kReadAheadFiles = 32;

// Ends a read when the creator stops or the request is cancelled, and tells the request of
// the read's progress.
class RequestedRead : public ZelboLib::FileSystemNodeDelegate {
public:
    RequestedRead(const std::atomic<bool>& stopping, const ThumbnailRequest* request)
        : stopping_(stopping), request_(request) {}

    void readProgress(int64_t total, int64_t done) override {
        if (request_ != nullptr && request_->progress)
            request_->progress(total, done);
    }
    bool shouldContinueReading() override {
        return !stopping_ && (request_ == nullptr || !request_->cancelled || !*request_->cancelled);
    }

private:
    const std::atomic<bool>& stopping_;
    const ThumbnailRequest* request_;
};

// Nothing may leave a thumbnail thread: a hostile file may still exhaust memory (std::bad_alloc),
// and every failure is a thumbnail not made, to be asked for again.
template <class Work>
void runContained(Work&& work) noexcept {
    try {
        work();
    } catch (...) {
    }
}

void complete(const ThumbnailRequest& request) {
    if (request.completion)
        request.completion(request);
}

}  // namespace

ThumbCreator::ThumbCreator(ThumbnailCache& cache) : cache_(cache) {}

ThumbCreator::~ThumbCreator() {
    stopping_ = true;
    stopWorker();
    const std::lock_guard lock(threadsMutex_);
    for (DedicatedThread& dedicated : dedicated_)
        dedicated.thread.join();
}

std::optional<RgbaImage> ThumbCreator::getThumbnail(std::optional<ThumbnailRequest> request,
                                                    bool queueIfMissing, bool useSharedWorker) {
    if (!request || !request->node || !wantsThumbnail(request->node->pathComponent()))
        return std::nullopt;
    const CZelboString key = thumbnailCacheKey(*request->node);
    if (std::optional<RgbaImage> cached = cache_.readThumbnail(key))
        return cached;
    if (!queueIfMissing)
        return std::nullopt;
    if (useSharedWorker)
        enqueue(key, std::move(*request));
    else
        startDedicated(std::move(*request));
    return std::nullopt;
}

void ThumbCreator::bringForward(const ZelboLib::FileSystemNode& node) {
    const CZelboString key = thumbnailCacheKey(node);
    const std::lock_guard lock(queueMutex_);
    if (const auto entry = queue_.find(key); entry != queue_.end())
        entry->second.arrival = arrivals_++;
}

void ThumbCreator::stopThumbnails() {
    stopping_ = true;
    stopWorker();
    stopping_ = false;
}

void ThumbCreator::stopWorker() {
    {
        const std::lock_guard lock(queueMutex_);
        stopQueue_ = true;
    }
    {
        const std::lock_guard lock(threadsMutex_);
        if (worker_.joinable())
            worker_.join();
    }
    const std::lock_guard lock(queueMutex_);
    queue_.clear();
    stopQueue_ = false;
}

void ThumbCreator::enqueue(const CZelboString& key, ThumbnailRequest request) {
    bool startWorker = false;
    {
        const std::lock_guard lock(queueMutex_);
        QueueEntry& entry = queue_[key];
        // A file already queued is made once; every asker is told when it is done.
        entry.arrival = arrivals_++;
        entry.requests.push_back(std::move(request));
        startWorker = !workerRunning_;
        workerRunning_ = true;
    }
    if (!startWorker)
        return;
    const std::lock_guard lock(threadsMutex_);
    // A worker that found the queue empty has cleared its flag and is returning.
    if (worker_.joinable())
        worker_.join();
    worker_ = std::thread(&ThumbCreator::runWorker, this);
}

void ThumbCreator::startDedicated(ThumbnailRequest request) {
    const std::lock_guard lock(threadsMutex_);
    std::erase_if(dedicated_, [](DedicatedThread& dedicated) {
        if (!*dedicated.finished)
            return false;
        dedicated.thread.join();
        return true;
    });
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([this, request = std::move(request), finished] {
        runContained([&] { createThumbnail(*request.node, &request); });
        complete(request);
        *finished = true;
    });
    dedicated_.push_back({std::move(thread), std::move(finished)});
}

void ThumbCreator::runWorker() {
    for (;;) {
        std::vector<Started> batch;
        {
            const std::lock_guard lock(queueMutex_);
            if (!stopQueue_)
                batch = takeNewest(kReadAheadFiles);
            if (batch.empty()) {
                workerRunning_ = false;
                return;
            }
        }
        runContained([&] { createThumbnails(batch); });
        for (Started& started : batch)
            finish(started);
    }
}

std::vector<ThumbCreator::Started> ThumbCreator::takeNewest(size_t count) {
    std::vector<std::map<CZelboString, QueueEntry, ZelboStringLess>::iterator> waiting;
    for (auto entry = queue_.begin(); entry != queue_.end(); ++entry) {
        if (!entry->second.started)
            waiting.push_back(entry);
    }
    const size_t taken = std::min(count, waiting.size());
    std::partial_sort(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(taken),
                      waiting.end(), [](const auto& one, const auto& other) {
                          return one->second.arrival > other->second.arrival;
                      });
    std::vector<Started> batch;
    for (size_t i = 0; i < taken; ++i) {
        waiting[i]->second.started = true;
        batch.push_back({waiting[i]->first, waiting[i]->second.requests.front().node});
    }
    return batch;
}

void ThumbCreator::finish(Started& started) {
    if (std::exchange(started.finished, true))
        return;
    std::vector<ThumbnailRequest> finished;
    {
        const std::lock_guard lock(queueMutex_);
        if (const auto entry = queue_.find(started.key); entry != queue_.end()) {
            finished = std::move(entry->second.requests);
            queue_.erase(entry);
        }
    }
    std::for_each(finished.begin(), finished.end(), complete);
}

void ThumbCreator::createThumbnails(std::vector<Started>& batch) {
    // The files to read ahead, by the connection they are on.
    std::map<std::shared_ptr<AFCDirectory>, std::vector<Started*>> onConnection;
    for (Started& started : batch) {
        // An inspector's thread may have made it since it was queued.
        if (cache_.readThumbnail(started.key) || started.node->isDirectory() ||
            started.node->fileSize() <= 0) {
            finish(started);
            continue;
        }
        if (std::shared_ptr<AFCDirectory> connection = started.node->directory())
            onConnection[std::move(connection)].push_back(&started);
        else
            finish(started);
    }
    for (const auto& onOne : onConnection) {
        // Named, not bound: clang 14 does not let lambdas capture structured bindings.
        const std::vector<Started*>& files = onOne.second;
        std::vector<CZelboString> paths;
        std::vector<uint64_t> sizes;
        for (const Started* started : files) {
            paths.push_back(started->node->fullPath());
            sizes.push_back(static_cast<uint64_t>(started->node->fileSize()));
        }
        readThumbnailsAhead(
            *onOne.first, paths, sizes, [this] { return !stopping_; },
            [&](size_t index, const Thumbnail& thumbnail) {
                cache_.writeThumbnail(files[index]->key, thumbnail.image, thumbnail.source,
                                      thumbnail.duration);
            },
            [&](size_t index, ReadAheadOutcome outcome) {
                Started& started = *files[index];
                if (outcome == ReadAheadOutcome::ReadAlone)
                    createThumbnail(*started.node, nullptr);
                finish(started);
            });
    }
}

void ThumbCreator::createThumbnail(ZelboLib::FileSystemNode& node,
                                   const ThumbnailRequest* request) const {
    if (node.isDirectory())
        return;
    // 0 also stands for a size that cannot be read (the device is gone, say).
    const int64_t listedSize = node.fileSize();
    if (listedSize <= 0)
        return;
    RequestedRead read(stopping_, request);
    DeviceImageFile file(&read);
    if (!file.open(node, static_cast<uint64_t>(listedSize)))
        return;
    if (const std::optional<Thumbnail> thumbnail = readThumbnail(file))
        cache_.writeThumbnail(thumbnailCacheKey(node), thumbnail->image, thumbnail->source,
                              thumbnail->duration);
}
