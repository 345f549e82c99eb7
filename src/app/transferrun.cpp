#include "app/transferrun.h"

#include <QMetaObject>
#include <cmath>

#include "app/qtextconversion.h"
#include "device/amdevice.h"
#include "fstree/filesystemnode.h"
#include "transfer/ui/cprogresswindow.h"
#include "transfer/ui/transferprompts.h"

namespace {

// The progress window shows the run's state this often; a report of the worker only updates it.
constexpr int kUpdateMilliseconds = 100;

}  // namespace

TransferRun::TransferRun(QWidget* owner) : owner_(owner) {
    ticker_.setInterval(kUpdateMilliseconds);
    connect(&ticker_, &QTimer::timeout, this, &TransferRun::showProgress);
}

void TransferRun::reset(const QString& destinationText, bool offerOpenFolder) {
    destinationText_ = destinationText;
    offerOpenFolder_ = offerOpenFolder;
    overwriteAnswer_ = -1;
    cancelRequested_.store(false);
    filesCopied_.store(0);
    filesFailed_.store(0);
    filesSkipped_.store(0);
    const std::lock_guard lock(mutex_);
    firstFailure_.clear();
    filesNotConverted_ = 0;
    firstNotConverted_.clear();
    message_.clear();
    percent_ = 0;
    totalBytes_ = 0;
    bytesOfDoneFiles_ = 0;
    currentFileSize_ = 0;
    currentFileDone_ = 0;
    lostDeviceName_.clear();
    lastDevice_.reset();
    clock_.start();
    rate_.reset();
    overallPercent_ = 0;
    ticker_.start();
}

void TransferRun::setProgressWindow(CProgressWindow* window) {
    progressWindow_ = window;
    if (window)
        showProgress();
}

QString TransferRun::lostDeviceName() const {
    const std::lock_guard lock(mutex_);
    if (!lostDeviceName_.isEmpty() || filesFailed_.load() == 0)
        return lostDeviceName_;
    // A copy that failed on a broken connection may have ended before the device's removal
    // was known to the worker.
    const std::shared_ptr<AMDevice> device = lastDevice_.lock();
    return device && device->deviceHandle() == nullptr ? toQString(device->name()) : QString();
}

void TransferRun::jobStarting(const TransferJob& job, int64_t totalBytes) {
    device_ = job.node->device();
    {
        const std::lock_guard lock(mutex_);
        lastDevice_ = device_;
        if (totalBytes > 0)
            totalBytes_ += totalBytes;
    }
}

void TransferRun::batchFinished(const TransferBatch& batch) {
    if (!batch.targetFolder)
        return;
    QMetaObject::invokeMethod(
        this, [this, folder = batch.targetFolder] { emit folderChanged(folder); },
        Qt::QueuedConnection);
}

void TransferRun::workerFinished() {
    device_.reset();
    QMetaObject::invokeMethod(
        this, [this] { emit workerEnded(); }, Qt::QueuedConnection);
}

void TransferRun::fileStarted(const CZelboString& source, const CZelboString& destination,
                              int64_t size) {
    currentFileKept_.store(false);
    {
        const std::lock_guard lock(mutex_);
        message_ =
            QStringLiteral("Copy %1 to %2...").arg(toQString(source), toQString(destination));
        currentFileSize_ = size > 0 ? size : 0;
        currentFileDone_ = 0;
        percent_ = size == 0 ? -1 : 0;
    }
}

void TransferRun::fileProgress(int64_t done, int64_t total) {
    {
        const std::lock_guard lock(mutex_);
        currentFileDone_ = done;
        percent_ = total == 0 ? -1
                              : static_cast<int>(std::lround(static_cast<double>(done) * 100.0 /
                                                             static_cast<double>(total)));
    }
}

void TransferRun::fileFinished(const CZelboString&, const CZelboString&) {
    filesCopied_.fetch_add(1);
    {
        const std::lock_guard lock(mutex_);
        percent_ = 100;
        closeCurrentFile();
    }
}

void TransferRun::itemFailed(const CZelboString&, const CZelboString& reason) {
    const bool kept = currentFileKept_.exchange(false);
    (kept ? filesSkipped_ : filesFailed_).fetch_add(1);
    const std::lock_guard lock(mutex_);
    if (!kept && firstFailure_.isEmpty())
        firstFailure_ = toQString(reason);
    closeCurrentFile();
}

void TransferRun::itemSkipped(const CZelboString&, const CZelboString&) {
    filesSkipped_.fetch_add(1);
}

void TransferRun::fileNotConverted(const CZelboString&, const CZelboString& reason) {
    const std::lock_guard lock(mutex_);
    if (filesNotConverted_++ == 0)
        firstNotConverted_ = toQString(reason);
}

TransferPrompts::RunOutcome TransferRun::outcome() const {
    const std::lock_guard lock(mutex_);
    return {filesCopied_.load(), filesFailed_.load(), filesSkipped_.load(),
            firstFailure_,       filesNotConverted_,  firstNotConverted_};
}

void TransferRun::closeCurrentFile() {
    bytesOfDoneFiles_ += std::max(currentFileSize_, currentFileDone_);
    currentFileSize_ = 0;
    currentFileDone_ = 0;
}

bool TransferRun::isCancelled() {
    if (cancelRequested_.load())
        return true;
    // The monitor clears the handle of a device that went away: nothing more is asked of it.
    if (device_ && device_->deviceHandle() == nullptr) {
        const std::lock_guard lock(mutex_);
        lostDeviceName_ = toQString(device_->name());
        cancelRequested_.store(true);
        return true;
    }
    return false;
}

CZelboString TransferRun::stopReason() {
    const std::lock_guard lock(mutex_);
    return lostDeviceName_.isEmpty()
               ? CZelboString()
               : toZelboString(QStringLiteral("The device \"%1\" was disconnected")
                                   .arg(lostDeviceName_));
}

bool TransferRun::shouldOverwrite(const CZelboString& path, CopyTarget) {
    bool overwrite = false;
    QMetaObject::invokeMethod(
        this,
        [this, &overwrite, &path] {
            bool cancel = false;
            overwrite =
                TransferPrompts::askOverwrite(owner_, toQString(path), overwriteAnswer_, cancel);
            if (cancel)
                cancelRequested_.store(true);
        },
        Qt::BlockingQueuedConnection);
    currentFileKept_.store(!overwrite);
    return overwrite;
}

void TransferRun::showProgress() {
    QString message;
    int percent = 0;
    int64_t done = 0;
    int64_t total = 0;
    {
        const std::lock_guard lock(mutex_);
        message = message_;
        percent = percent_;
        done = bytesOfDoneFiles_ + currentFileDone_;
        total = std::max(totalBytes_, done);
    }
    rate_.addSample(TransferRate::Duration(clock_.elapsed()), done);
    overallPercent_ = total > 0 ? static_cast<int>(done * 100 / total) : 0;
    emit progressShown();
    if (!progressWindow_)
        return;
    if (!message.isEmpty())
        progressWindow_->setMessage(message);
    progressWindow_->setFilePercent(percent);
    progressWindow_->setOverall(done, total, rate_.bytesPerSecond(), rate_.secondsLeft(total));
}
