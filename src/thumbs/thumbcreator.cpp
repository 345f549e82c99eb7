#include "thumbs/thumbcreator.h"

#include <algorithm>
#include <utility>

#include "fstree/filesystemnode.h"
#include "fstree/filesystemnodedelegate.h"
#include "thumbs/deviceimagefile.h"
#include "thumbs/thumbnailcache.h"
#include "thumbs/thumbnailcachekey.h"
#include "thumbs/thumbnailimagerule.h"
#include "thumbs/thumbnailreader.h"

namespace {

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
        CZelboString key;
        std::shared_ptr<ZelboLib::FileSystemNode> node;
        {
            const std::lock_guard lock(queueMutex_);
            auto next = queue_.end();
            for (auto entry = queue_.begin(); entry != queue_.end(); ++entry) {
                if (!entry->second.started &&
                    (next == queue_.end() || entry->second.arrival > next->second.arrival))
                    next = entry;
            }
            if (stopQueue_ || next == queue_.end()) {
                workerRunning_ = false;
                return;
            }
            next->second.started = true;
            key = next->first;
            node = next->second.requests.front().node;
        }
        // An inspector's thread may have made it since it was queued.
        runContained([&] {
            if (!cache_.readThumbnail(key))
                createThumbnail(*node, nullptr);
        });
        std::vector<ThumbnailRequest> finished;
        {
            const std::lock_guard lock(queueMutex_);
            if (const auto entry = queue_.find(key); entry != queue_.end()) {
                finished = std::move(entry->second.requests);
                queue_.erase(entry);
            }
        }
        std::for_each(finished.begin(), finished.end(), complete);
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
