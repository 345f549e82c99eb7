// The transfer worker's thread against the simulator, observed with plain locks (no event loop),
// so that ThreadSanitizer sees every hand-off between the worker and the thread that queues.

#include "transfer/transferworker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fstree/simulatedtree.h"
#include "support/simulateddevice.h"
#include "support/temporaryfolder.h"
#include "transfer/transferjob.h"
#include "transfer/transferqueue.h"
#include "transfer/transferrunobserver.h"

namespace fs = std::filesystem;

namespace {

/** Counts a run's reports under a lock and lets the test wait for the worker's end. */
class WaitingObserver : public TransferRunObserver {
public:
    void fileStarted(const CZelboString&, const CZelboString&, int64_t) override {
        std::unique_lock lock(mutex_);
        threads_.push_back(std::this_thread::get_id());
        // The first file waits for the test's release, so that the run is known to be busy.
        if (holding_) {
            held_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !holding_; });
        }
    }
    void fileProgress(int64_t, int64_t) override {}
    void fileFinished(const CZelboString& source, const CZelboString&) override {
        const std::lock_guard lock(mutex_);
        finished_.push_back(source.toUtf8());
    }
    void itemFailed(const CZelboString& source, const CZelboString&) override {
        const std::lock_guard lock(mutex_);
        failed_.push_back(source.toUtf8());
    }
    void itemSkipped(const CZelboString&, const CZelboString&) override {}
    bool isCancelled() override {
        const std::lock_guard lock(mutex_);
        return cancelAfter_ >= 0 && static_cast<int>(finished_.size()) >= cancelAfter_;
    }
    void jobStarting(const TransferJob&, int64_t) override {}
    void batchFinished(const TransferBatch&) override {
        const std::lock_guard lock(mutex_);
        ++batches_;
        // The worker's end that follows this batch is the next one.
        workerEndsAfterBatches_ = workerEnds_ + 1;
    }
    void workerFinished() override {
        const std::lock_guard lock(mutex_);
        ++workerEnds_;
        changed_.notify_all();
    }

    /** The worker's first file waits until release(). */
    void holdTheFirstFile() {
        const std::lock_guard lock(mutex_);
        holding_ = true;
    }
    /** Waits until the worker is held at its first file; false after a minute. */
    bool waitUntilHeld() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(1), [this] { return held_; });
    }
    void release() {
        const std::lock_guard lock(mutex_);
        holding_ = false;
        changed_.notify_all();
    }

    void cancelAfter(int files) {
        const std::lock_guard lock(mutex_);
        cancelAfter_ = files;
    }
    /** Waits until batches have finished and the worker has ended after them; false when that
        does not come within a minute. */
    bool waitForTheEnd(int batches) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(1), [&] {
            return batches_ >= batches && workerEnds_ > 0 && workerEndsAfterBatches_ <= workerEnds_;
        });
    }
    size_t finished() const {
        const std::lock_guard lock(mutex_);
        return finished_.size();
    }
    int batches() const {
        const std::lock_guard lock(mutex_);
        return batches_;
    }
    std::vector<std::thread::id> threads() const {
        const std::lock_guard lock(mutex_);
        return threads_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> finished_;
    std::vector<std::string> failed_;
    std::vector<std::thread::id> threads_;
    int batches_ = 0;
    int cancelAfter_ = -1;
    int workerEnds_ = 0;
    int workerEndsAfterBatches_ = 0;
    bool holding_ = false;
    bool held_ = false;
};

class TransferWorkerTest : public testing::Test {
protected:
    void writeOnDevice(const std::string& name, const std::string& data) {
        const fs::path file = phone.media() / name;
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << data;
    }
    TransferBatch download(const char16_t* devicePath, const fs::path& into) {
        TransferJob job;
        job.fromDevice = true;
        job.itemPath = devicePath;
        job.destinationPath = CZelboString::fromUtf8(into.string());
        job.node = deviceNode->nodeForPath(devicePath);
        EXPECT_TRUE(job.node);
        TransferBatch batch;
        batch.jobs.push_back(std::move(job));
        return batch;
    }

    SimulatedDevice phone;
    std::shared_ptr<ZelboLib::DeviceFileSystemNode> deviceNode = deviceNodeOf(phone);
    TemporaryFolder local;
    TransferQueue queue;
    WaitingObserver observer;
};

TEST_F(TransferWorkerTest, BatchesQueuedWhileItRunsAreCarriedOutOnItsThread) {
    for (int i = 0; i < 12; ++i)
        writeOnDevice("Album/IMG_" + std::to_string(i) + ".JPG", std::string(1000 + i, 'x'));
    writeOnDevice("Notes/a.txt", "notes");
    fs::create_directories(local / "first");
    fs::create_directories(local / "second");
    TransferWorker worker(queue, nullptr, observer);
    observer.holdTheFirstFile();
    queue.enqueue(download(u"/Media/Album", local / "first"));
    worker.start();
    ASSERT_TRUE(observer.waitUntilHeld());
    EXPECT_TRUE(worker.isRunning());
    queue.enqueue(download(u"/Media/Notes", local / "second"));
    observer.release();
    ASSERT_TRUE(observer.waitForTheEnd(2));
    worker.join();
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_EQ(observer.finished(), 13u);
    EXPECT_EQ(fs::file_size(local / "first/Album/IMG_11.JPG"), 1011u);
    EXPECT_EQ(fs::file_size(local / "second/Notes/a.txt"), 5u);
    for (const std::thread::id thread : observer.threads())
        EXPECT_NE(thread, std::this_thread::get_id());
}

TEST_F(TransferWorkerTest, ACancelDropsTheBatchesStillWaitingAndLeavesWholeFiles) {
    for (int i = 0; i < 40; ++i)
        writeOnDevice("Album/IMG_" + std::to_string(i) + ".JPG", std::string(50'000, 'y'));
    for (const char* folder : {"first", "second", "third"})
        fs::create_directories(local / folder);
    observer.cancelAfter(3);
    TransferWorker worker(queue, nullptr, observer);
    for (const char* folder : {"first", "second", "third"})
        queue.enqueue(download(u"/Media/Album", local / folder));
    worker.start();
    ASSERT_TRUE(observer.waitForTheEnd(1));
    worker.join();
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_LT(observer.finished(), 40u);
    EXPECT_EQ(observer.batches(), 1);
    EXPECT_FALSE(fs::exists(local / "second/Album"));
    for (const auto& entry : fs::recursive_directory_iterator(local.path())) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(entry.file_size(), 50'000u) << entry.path();
        }
    }
}

}  // namespace
