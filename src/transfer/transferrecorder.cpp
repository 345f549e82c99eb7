#include "transfer/transferrecorder.h"

#include "fstree/devicepath.h"
#include "transfer/transferhistorystore.h"

namespace {

constexpr int kCopied = 2;
constexpr int kNotCopied = 3;

}  // namespace

TransferRecorder::TransferRecorder(TransferObserver& next, TransferHistoryStore* history,
                                   bool fromDevice, CZelboString deviceName)
    : next_(next), history_(history), fromDevice_(fromDevice), deviceName_(std::move(deviceName)) {}

void TransferRecorder::fileStarted(const CZelboString& source, const CZelboString& destination,
                                   int64_t size) {
    startedSource_ = source;
    startedDestination_ = destination;
    next_.fileStarted(source, destination, size);
}

void TransferRecorder::fileProgress(int64_t done, int64_t total) {
    next_.fileProgress(done, total);
}

void TransferRecorder::fileFinished(const CZelboString& source, const CZelboString& destination) {
    record(source, destination, kCopied);
    next_.fileFinished(source, destination);
}

void TransferRecorder::itemFailed(const CZelboString& source, const CZelboString& reason) {
    // A file that failed after it started has a known destination; one refused before has none.
    record(source, source == startedSource_ ? startedDestination_ : CZelboString(), kNotCopied);
    next_.itemFailed(source, reason);
}

void TransferRecorder::itemSkipped(const CZelboString& source, const CZelboString& reason) {
    next_.itemSkipped(source, reason);
}

bool TransferRecorder::isCancelled() {
    return next_.isCancelled();
}

bool TransferRecorder::shouldOverwrite(const CZelboString& path, CopyTarget target) {
    return next_.shouldOverwrite(path, target);
}

void TransferRecorder::record(const CZelboString& source, const CZelboString& destination,
                              int status) {
    if (!history_)
        return;
    TransferRecord record;
    record.fromDevice = fromDevice_;
    record.status = status;
    record.deviceName = deviceName_;
    if (fromDevice_) {
        record.deviceFile = source;
        record.localFile = destination;
    } else {
        record.localFile = source;
        if (!destination.isEmpty())
            record.deviceFile = parentOfDevicePath(destination).concat(u"/");
        record.deviceFile = collapseDoubleSlashes(record.deviceFile);
    }
    history_->addRecord(std::move(record));
}
