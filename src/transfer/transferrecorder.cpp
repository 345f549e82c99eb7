#include "transfer/transferrecorder.h"

#include <utility>

#include "device/amdevice.h"
#include "fstree/devicepath.h"
#include "fstree/filesystemnode.h"
#include "transfer/transferhistorystore.h"
#include "transfer/transferjob.h"

using Cause = TransferRecord::NotCopiedCause;

TransferRecorder::TransferRecorder(TransferObserver& next, TransferHistoryStore* history,
                                   const TransferJob& job)
    : next_(next),
      history_(history),
      fromDevice_(job.fromDevice),
      deviceName_(job.node->device()->name()),
      deviceIdentifier_(job.node->device()->uniqueDeviceID()),
      paths_(job) {}

TransferRecorder::~TransferRecorder() {
    if (history_ && !startedSource_.isEmpty())
        history_->clearFileInProgress();
}

void TransferRecorder::fileStarted(const CZelboString& source, const CZelboString& destination,
                                   int64_t size) {
    startedSource_ = source;
    startedDestination_ = destination;
    startedSize_ = size;
    startedDeviceTime_ = 0;
    targetKept_ = false;
    if (history_)
        history_->setFileInProgress(recordOf(source, destination, size));
    next_.fileStarted(source, destination, size);
}

void TransferRecorder::fileProgress(int64_t done, int64_t total) {
    if (history_)
        history_->updateFileInProgress(done, total);
    next_.fileProgress(done, total);
}

void TransferRecorder::fileFinished(const CZelboString& source, const CZelboString& destination) {
    if (history_) {
        TransferRecord record =
            recordOf(source, destination, source == startedSource_ ? startedSize_ : -1);
        if (source != startedSource_)
            record.deviceModificationTime = 0;
        record.status = TransferRecord::kCopied;
        history_->addRecord(std::move(record));
    }
    startedSource_ = CZelboString();
    next_.fileFinished(source, destination);
}

void TransferRecorder::itemFailed(const CZelboString& source, const CZelboString& reason) {
    if (history_) {
        const bool started = source == startedSource_;
        TransferRecord record = recordOf(source, started ? startedDestination_ : CZelboString(),
                                         started ? startedSize_ : -1);
        record.status = TransferRecord::kNotCopied;
        const CZelboString stop = cancelSeen_ ? next_.stopReason() : CZelboString();
        record.notCopiedCause = cancelSeen_ && stop.isEmpty() ? Cause::Cancelled
                                : started && targetKept_      ? Cause::Skipped
                                                              : Cause::Failed;
        if (record.notCopiedCause == Cause::Failed)
            record.reason = stop.isEmpty() ? reason : stop;
        history_->addRecord(std::move(record));
    }
    startedSource_ = CZelboString();
    next_.itemFailed(source, reason);
}

void TransferRecorder::itemSkipped(const CZelboString& source, const CZelboString& reason) {
    next_.itemSkipped(source, reason);
}

void TransferRecorder::fileDeviceTime(int64_t nanoseconds) {
    startedDeviceTime_ = nanoseconds;
    next_.fileDeviceTime(nanoseconds);
}

void TransferRecorder::fileNotConverted(const CZelboString& source, const CZelboString& reason) {
    next_.fileNotConverted(source, reason);
}

bool TransferRecorder::isCancelled() {
    const bool cancelled = next_.isCancelled();
    cancelSeen_ = cancelSeen_ || cancelled;
    return cancelled;
}

CZelboString TransferRecorder::stopReason() {
    return next_.stopReason();
}

bool TransferRecorder::shouldOverwrite(const CZelboString& path, CopyTarget target) {
    const bool overwrite = next_.shouldOverwrite(path, target);
    targetKept_ = !overwrite;
    return overwrite;
}

TransferRecord TransferRecorder::recordOf(const CZelboString& source,
                                          const CZelboString& destination, int64_t size) const {
    const TransferItemPaths::Paths paths = paths_.of(source, destination);
    TransferRecord record;
    record.fromDevice = fromDevice_;
    record.localFile = paths.local;
    record.deviceDisplayPath = paths.display;
    // An upload's record names the device folder the file went into.
    record.deviceFile = fromDevice_ || paths.device.isEmpty()
                            ? paths.device
                            : collapseDoubleSlashes(parentOfDevicePath(paths.device).concat(u"/"));
    record.deviceName = deviceName_;
    record.deviceIdentifier = deviceIdentifier_;
    record.deviceModificationTime = fromDevice_ ? startedDeviceTime_ : 0;
    record.size = size;
    return record;
}
