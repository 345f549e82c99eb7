#include "transfer/parallelcopies.h"

#include <chrono>
#include <utility>

#include "afc/afcdirectory.h"
#include "afc/localfile.h"
#include "transfer/transferobserver.h"
#include "values/localpaths.h"

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

// A download's contents, arrived whole, written to its target through a staged file with the
// device file's time; the failure's text, empty once it is in place. An existing target is kept.
CZelboString writeWholeFile(const FileCopy& copy, std::string_view contents) {
    bool isFolder = false;
    if (localPathExists(copy.destination, isFolder))
        return isFolder ? u"A folder of that name is in the way" : u"Won't overwrite existing file";
    LocalFile staged = LocalFile::createBeside(copy.destination);
    if (!staged.isOpen())
        return staged.failureText(u"Can't create output file");
    CZelboString failure;
    if (!staged.writeAll(contents.data(), contents.size()))
        failure = staged.failureText(u"Can't write output file");
    else if (copy.modificationTime && *copy.modificationTime > 0)
        staged.setModificationTime(*copy.modificationTime);
    return staged.placeAs(copy.destination, failure);
}

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
    // A batch waiting per connection keeps every connection busy without running far ahead.
    const auto full = [&] { return waiting_.size() >= kBatchFiles * threads_.size(); };
    while (!cancelled_ && full()) {
        lock.unlock();
        reportEnded();
        lock.lock();
        changed_.wait_for(lock, kCancelPoll, [&] { return !ended_.empty() || !full(); });
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
        busy = !waiting_.empty() || busyConnections_ == threads_.size();
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
        const std::vector<FileCopy> batch = takeBatch();
        if (batch.empty())
            return;
        copyBatchOn(*connection, batch);
        const std::lock_guard lock(mutex_);
        --busyConnections_;
    }
}

std::vector<FileCopy> ParallelCopies::takeBatch() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
    std::vector<FileCopy> batch;
    int64_t bytes = 0;
    while (!waiting_.empty() && batch.size() < kBatchFiles &&
           (batch.empty() || bytes + waiting_.front().size <= kBatchBytes)) {
        bytes += waiting_.front().size;
        batch.push_back(std::move(waiting_.front()));
        waiting_.pop_front();
    }
    inProgress_ += batch.size();
    if (!batch.empty())
        ++busyConnections_;
    changed_.notify_all();
    return batch;
}

void ParallelCopies::copyBatchOn(AFCDirectory& connection, const std::vector<FileCopy>& batch) {
    // Downloads whose device time is known come in one stream, uploads in another; what a
    // stream did not bring whole at the size listed, or place, is copied one by one, which tells
    // why it fails.
    std::vector<size_t> streamed;
    std::vector<CZelboString> paths;
    std::vector<int64_t> sizes;
    std::vector<size_t> uploads;
    std::vector<std::pair<CZelboString, CZelboString>> uploaded;
    for (size_t index = 0; index < batch.size(); ++index) {
        if (batch[index].fromDevice && batch[index].modificationTime) {
            streamed.push_back(index);
            paths.push_back(batch[index].source);
            sizes.push_back(batch[index].size);
        } else if (!batch[index].fromDevice) {
            uploads.push_back(index);
            uploaded.emplace_back(batch[index].source, batch[index].destination);
        }
    }
    std::vector<bool> ended(batch.size());
    if (!uploads.empty() && !cancelled_) {
        connection.copySmallFilesToDevice(uploaded, kLargestFile, [&](size_t which) {
            ended[uploads[which]] = true;
            end(Ended{batch[uploads[which]], true, {}});
        });
    }
    if (!streamed.empty() && !cancelled_) {
        connection.contentsOfEach(
            paths, sizes, kLargestFile, [&](size_t which, std::string_view contents) {
                const FileCopy& copy = batch[streamed[which]];
                if (cancelled_ || static_cast<int64_t>(contents.size()) != copy.size)
                    return;
                ended[streamed[which]] = true;
                const CZelboString failure = writeWholeFile(copy, contents);
                end(Ended{copy, failure.isEmpty(), failure});
            });
    }
    for (size_t index = 0; index < batch.size(); ++index) {
        if (ended[index])
            continue;
        // Once cancelled, files not begun are dropped, as those still waiting are.
        if (cancelled_)
            end(std::nullopt);
        else
            end(copyOn(connection, batch[index]));
    }
}

void ParallelCopies::end(std::optional<Ended> ended) {
    const std::lock_guard lock(mutex_);
    --inProgress_;
    if (ended)
        ended_.push_back(std::move(*ended));
    changed_.notify_all();
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
