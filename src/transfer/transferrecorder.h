#pragma once

#include "transfer/transferobserver.h"
#include "transfer/transferrecord.h"

class TransferHistoryStore;

/**
 * Passes a walk's events on to another observer, and writes a history record for every file the
 * walk tried: status 2 when it arrived, 3 when it did not (failed, refused, cancelled). Items are
 * recorded as the history shows them: the local path, and the device path (of the file for a
 * download, of its folder with a closing "/" for an upload).
 */
class TransferRecorder : public TransferObserver {
public:
    TransferRecorder(TransferObserver& next, TransferHistoryStore* history, bool fromDevice,
                     CZelboString deviceName);

    void fileStarted(const CZelboString& source, const CZelboString& destination,
                     int64_t size) override;
    void fileProgress(int64_t done, int64_t total) override;
    void fileFinished(const CZelboString& source, const CZelboString& destination) override;
    void itemFailed(const CZelboString& source, const CZelboString& reason) override;
    void itemSkipped(const CZelboString& source, const CZelboString& reason) override;
    bool isCancelled() override;
    bool shouldOverwrite(const CZelboString& path, CopyTarget target) override;

private:
    void record(const CZelboString& source, const CZelboString& destination, int status);

    TransferObserver& next_;
    TransferHistoryStore* history_;
    bool fromDevice_;
    CZelboString deviceName_;
    CZelboString startedSource_;
    CZelboString startedDestination_;
};
