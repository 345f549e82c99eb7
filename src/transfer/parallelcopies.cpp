#include "transfer/parallelcopies.h"

#include <chrono>
#include <utility>

#include "afc/afcdirectory.h"
#include "transfer/transferobserver.h"

namespace {

// A copy's delegate on a connection's thread: a cancel seen by the walk stops it, and an existing
// target is never replaced.
class ConnectionCopyDelegate : public AFCDirectoryDelegate {
public:
    explicit ConnectionCopyDelegate(const std::atomic<bool>& cancelled) : cancelled_(cancelled) {}

    void willCopyFile(const CZelboString&, const CZelboString&, int64_t) override {}
    void copyProgress(int64_t, int64_t) override {}
    void didCopyFile(const CZelboString&) override {}
    bool isCancelled() override { return cancelled_; }

private:
    const std::atomic<bool>& cancelled_;
};

// How long the walk waits between looks at its observer's cancel.
constexpr auto kCancelPoll = std::chrono::milliseconds(50);

}  // namespace

ParallelCopies::ParallelCopies(TransferObserver& observer, OpenConnection openConnection,
                               int connections)
    : observer_(observer), openConnection_(std::move(openConnection)), connections_(connections) {}

ParallelCopies::~ParallelCopies() {
    cancelled_ = true;
    stop();
}

bool ParallelCopies::take(FileCopy copy) {
    noteCancel();
    if (cancelled_ || copy.size < 0 || copy.size > kLargestFile || !growConnections())
        return false;
    std::unique_lock lock(mutex_);
    // One file waiting per connection keeps every connection busy without running far ahead.
    while (!cancelled_ && static_cast<int>(waiting_.size()) >= static_cast<int>(threads_.size())) {
        lock.unlock();
        reportEnded();
        lock.lock();
        changed_.wait_for(lock, kCancelPoll, [&] {
            return !ended_.empty() ||
                   static_cast<int>(waiting_.size()) < static_cast<int>(threads_.size());
        });
    }
    if (cancelled_)
        return false;
    waiting_.push_back(std::move(copy));
    changed_.notify_all();
    return true;
}

void ParallelCopies::reportEnded() {
    noteCancel();
    std::deque<Ended> ended;
    {
        const std::lock_guard lock(mutex_);
        ended.swap(ended_);
    }
    for (const Ended& file : ended) {
        observer_.fileStarted(file.copy.reportedSource, file.copy.reportedDestination,
                              file.copy.size);
        if (file.copy.fromDevice && file.copy.modificationTime)
            observer_.fileDeviceTime(*file.copy.modificationTime);
        if (file.arrived) {
            observer_.fileProgress(file.copy.size, file.copy.size);
            observer_.fileFinished(file.copy.reportedSource, file.copy.reportedDestination);
        } else {
            allArrived_ = false;
            observer_.itemFailed(file.copy.reportedSource, file.reason);
        }
    }
}

bool ParallelCopies::finish() {
    for (;;) {
        reportEnded();
        std::unique_lock lock(mutex_);
        if (waiting_.empty() && inProgress_ == 0 && ended_.empty())
            break;
        // Once cancelled, files not started yet are dropped: they were never begun.
        if (cancelled_)
            waiting_.clear();
        changed_.wait_for(lock, kCancelPoll, [&] { return !ended_.empty(); });
    }
    stop();
    return allArrived_ && !cancelled_;
}

bool ParallelCopies::growConnections() {
    bool busy = false;
    {
        const std::lock_guard lock(mutex_);
        busy = !waiting_.empty() || inProgress_ == static_cast<int>(threads_.size());
    }
    if (busy && !openFailed_ && static_cast<int>(threads_.size()) < connections_) {
        if (std::shared_ptr<AFCDirectory> connection = openConnection_())
            threads_.emplace_back([this, connection] { runConnection(connection); });
        else
            openFailed_ = true;
    }
    return !threads_.empty();
}

void ParallelCopies::runConnection(const std::shared_ptr<AFCDirectory>& connection) {
    for (;;) {
        FileCopy copy;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
            if (waiting_.empty())
                return;
            copy = std::move(waiting_.front());
            waiting_.pop_front();
            ++inProgress_;
            changed_.notify_all();
        }
        Ended ended = copyOn(*connection, copy);
        const std::lock_guard lock(mutex_);
        --inProgress_;
        ended_.push_back(std::move(ended));
        changed_.notify_all();
    }
}

ParallelCopies::Ended ParallelCopies::copyOn(AFCDirectory& connection, const FileCopy& copy) {
    ConnectionCopyDelegate delegate(cancelled_);
    const bool arrived =
        copy.fromDevice ? connection.copyFileFromDevice(copy.source, copy.destination, &delegate,
                                                        copy.modificationTime)
                        : connection.copyFileToDevice(copy.source, copy.destination, &delegate);
    CZelboString reason;
    if (!arrived) {
        reason = connection.errorText();
        if (reason.isEmpty())
            reason = u"Copy failed";
    }
    return {copy, arrived, std::move(reason)};
}

void ParallelCopies::noteCancel() {
    if (!cancelled_ && observer_.isCancelled())
        cancelled_ = true;
}

void ParallelCopies::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        if (cancelled_)
            waiting_.clear();
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable())
            thread.join();
    }
}
