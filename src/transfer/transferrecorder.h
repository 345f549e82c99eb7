#pragma once

#include <cstdint>

#include "transfer/transferitempaths.h"
#include "transfer/transferobserver.h"
#include "transfer/transferrecord.h"

class TransferHistoryStore;
struct TransferJob;

/**
 * Passes a job's walk events on to another observer, and writes a history record for every file
 * the walk tried, and for every folder or item it refused: kCopied when the file arrived,
 * kNotCopied otherwise, with the cause (the existing target kept, the run stopped, or a failure).
 * Each record names the item on both sides, also where the walk refused it before making its
 * target. The file being copied is the history's file in progress until its record is added.
 */
class TransferRecorder : public TransferObserver {
public:
    /** `job` must outlive the recorder; history may be null (nothing is recorded). */
    TransferRecorder(TransferObserver& next, TransferHistoryStore* history, const TransferJob& job);
    /** Ends the history's file in progress, should the walk have left one. */
    ~TransferRecorder() override;
    TransferRecorder(const TransferRecorder&) = delete;
    TransferRecorder& operator=(const TransferRecorder&) = delete;

    void fileStarted(const CZelboString& source, const CZelboString& destination,
                     int64_t size) override;
    void fileProgress(int64_t done, int64_t total) override;
    void fileFinished(const CZelboString& source, const CZelboString& destination) override;
    void itemFailed(const CZelboString& source, const CZelboString& reason) override;
    void itemSkipped(const CZelboString& source, const CZelboString& reason) override;
    void fileNotConverted(const CZelboString& source, const CZelboString& reason) override;
    void fileDeviceTime(int64_t nanoseconds) override;
    bool isCancelled() override;
    CZelboString stopReason() override;
    bool shouldOverwrite(const CZelboString& path, CopyTarget target) override;

private:
    TransferRecord recordOf(const CZelboString& source, const CZelboString& destination,
                            int64_t size) const;

    TransferObserver& next_;
    TransferHistoryStore* history_;
    const bool fromDevice_;
    const CZelboString deviceName_;
    const CZelboString deviceIdentifier_;
    const TransferItemPaths paths_;
    // The file started last, until it ends.
    CZelboString startedSource_;
    CZelboString startedDestination_;
    int64_t startedSize_ = -1;
    int64_t startedDeviceTime_ = 0;
    bool targetKept_ = false;
    // A cancel ends the walk: every later failure is the cancel's, or the stop's when the walk
    // was stopped for a reason (the device went), which makes them failures for that reason.
    bool cancelSeen_ = false;
};
