#include "transfer/heicconversions.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include "afc/localfile.h"
#include "photos/heictojpeg.h"
#include "transfer/transferobserver.h"
#include "values/localpaths.h"

namespace {

// How long the walk waits between looks at its observer's cancel.
constexpr auto kCancelPoll = std::chrono::milliseconds(50);
// Larger files are no photo a phone takes; they are not read into memory.
constexpr int64_t kLargestHeic = 256 * 1024 * 1024;

bool readWhole(const CZelboString& path, std::vector<uint8_t>& bytes, int64_t& modificationTime) {
    LocalFile file = LocalFile::openForReading(path);
    const int64_t size = file.isOpen() ? file.size() : -1;
    if (size < 0 || size > kLargestHeic)
        return false;
    modificationTime = file.modificationTime();
    bytes.resize(static_cast<size_t>(size));
    size_t done = 0;
    while (done < bytes.size()) {
        const int64_t count = file.read(bytes.data() + done, bytes.size() - done);
        if (count <= 0)
            return false;
        done += static_cast<size_t>(count);
    }
    return true;
}

/** Writes the JPEG under a staged name and renames it into place; why not, or empty. */
CZelboString placeJpeg(const std::vector<uint8_t>& jpeg, const CZelboString& jpegTarget,
                       int64_t modificationTime) {
    LocalFile target = LocalFile::createBeside(jpegTarget);
    if (!target.isOpen())
        return u"Can't create the JPEG file";
    bool written = target.writeAll(jpeg.data(), jpeg.size());
    if (written && modificationTime > 0)
        target.setModificationTime(modificationTime);
    written = target.close() && written;
    const std::string staged = target.path();
    if (!written || std::rename(staged.c_str(), jpegTarget.toUtf8().c_str()) != 0) {
        std::remove(staged.c_str());
        return u"Can't write the JPEG file";
    }
    return {};
}

}  // namespace

HeicConversions::HeicConversions(TransferObserver& observer, int threads) : observer_(observer) {
    for (int i = 0; i < std::max(threads, 1); ++i)
        threads_.emplace_back([this] { runThread(); });
}

HeicConversions::~HeicConversions() {
    {
        const std::lock_guard lock(mutex_);
        cancelled_ = true;
        for (const HeicConversion& conversion : waiting_)
            std::remove(conversion.stagedHeic.toUtf8().c_str());
        waiting_.clear();
    }
    stop();
    for (const Ended& ended : ended_) {
        if (ended.outcome != Outcome::Converted)
            std::remove(ended.conversion.stagedHeic.toUtf8().c_str());
    }
}

int HeicConversions::defaultThreads() {
    // The walk mostly waits for the device: every core may convert.
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(cores), 1, kMaxThreads);
}

void HeicConversions::take(HeicConversion conversion) {
    noteCancel();
    std::unique_lock lock(mutex_);
    while (!cancelled_ && waiting_.size() >= threads_.size()) {
        lock.unlock();
        reportEnded();
        lock.lock();
        changed_.wait_for(lock, kCancelPoll,
                          [&] { return !ended_.empty() || waiting_.size() < threads_.size(); });
    }
    if (cancelled_) {
        ended_.push_back({std::move(conversion), Outcome::Cancelled, {}});
        return;
    }
    waiting_.push_back(std::move(conversion));
    changed_.notify_all();
}

void HeicConversions::reportEnded() {
    noteCancel();
    std::deque<Ended> ended;
    {
        const std::lock_guard lock(mutex_);
        ended.swap(ended_);
    }
    for (const Ended& photo : ended)
        report(photo);
}

bool HeicConversions::finish() {
    for (;;) {
        reportEnded();
        std::unique_lock lock(mutex_);
        if (cancelled_) {
            for (HeicConversion& conversion : waiting_)
                ended_.push_back({std::move(conversion), Outcome::Cancelled, {}});
            waiting_.clear();
        }
        if (waiting_.empty() && inProgress_ == 0 && ended_.empty())
            break;
        changed_.wait_for(lock, kCancelPoll, [&] { return !ended_.empty(); });
    }
    stop();
    return allArrived_;
}

void HeicConversions::runThread() {
    for (;;) {
        HeicConversion conversion;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
            if (waiting_.empty())
                return;
            conversion = std::move(waiting_.front());
            waiting_.pop_front();
            ++inProgress_;
            changed_.notify_all();
        }
        Ended ended{std::move(conversion), Outcome::NotConverted, {}};
        std::vector<uint8_t> heic;
        int64_t modificationTime = 0;
        if (!readWhole(ended.conversion.stagedHeic, heic, modificationTime)) {
            ended.failure = u"The downloaded photo can't be read back";
        } else {
            HeicToJpegResult result = convertHeicToJpeg(heic);
            ended.failure =
                result.jpeg.empty()
                    ? std::move(result.failure)
                    : placeJpeg(result.jpeg, ended.conversion.jpegTarget, modificationTime);
            if (ended.failure.isEmpty())
                ended.outcome = Outcome::Converted;
        }
        if (ended.outcome == Outcome::Converted)
            std::remove(ended.conversion.stagedHeic.toUtf8().c_str());
        const std::lock_guard lock(mutex_);
        --inProgress_;
        ended_.push_back(std::move(ended));
        changed_.notify_all();
    }
}

void HeicConversions::report(const Ended& ended) {
    const HeicConversion& photo = ended.conversion;
    if (ended.outcome == Outcome::Converted) {
        observer_.fileStarted(photo.reportedSource, photo.jpegTarget, photo.size);
        tellDeviceTime(photo);
        observer_.fileProgress(photo.size, photo.size);
        observer_.fileFinished(photo.reportedSource, photo.jpegTarget);
        return;
    }
    const std::string staged = photo.stagedHeic.toUtf8();
    if (ended.outcome == Outcome::Cancelled) {
        std::remove(staged.c_str());
        allArrived_ = false;
        observer_.fileStarted(photo.reportedSource, photo.jpegTarget, photo.size);
        observer_.itemFailed(photo.reportedSource, u"Cancelled");
        return;
    }
    // Not converted: the photo goes where a plain download would put it.
    observer_.fileStarted(photo.reportedSource, photo.heicTarget, photo.size);
    tellDeviceTime(photo);
    bool isFolder = false;
    CZelboString refusal;
    if (localPathExists(photo.heicTarget, isFolder)) {
        if (isFolder)
            refusal = u"A folder of that name is in the way";
        else if (!observer_.shouldOverwrite(photo.heicTarget, CopyTarget::Computer))
            refusal = u"Won't overwrite existing file";
    }
    if (refusal.isEmpty() && std::rename(staged.c_str(), photo.heicTarget.toUtf8().c_str()) != 0)
        refusal = u"Can't replace output file";
    if (!refusal.isEmpty()) {
        std::remove(staged.c_str());
        allArrived_ = false;
        observer_.itemFailed(photo.reportedSource, CZelboString(u"Not converted to JPEG (")
                                                       .concat(ended.failure)
                                                       .concat(u"), and ")
                                                       .concat(refusal));
        return;
    }
    observer_.fileNotConverted(photo.reportedSource, ended.failure);
    observer_.fileProgress(photo.size, photo.size);
    observer_.fileFinished(photo.reportedSource, photo.heicTarget);
}

void HeicConversions::tellDeviceTime(const HeicConversion& photo) {
    if (photo.deviceModificationTime > 0)
        observer_.fileDeviceTime(photo.deviceModificationTime);
}

void HeicConversions::noteCancel() {
    if (observer_.isCancelled()) {
        const std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
}

void HeicConversions::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable())
            thread.join();
    }
}
