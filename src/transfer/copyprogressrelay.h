#pragma once

#include "afc/afcdirectorydelegate.h"

class TransferObserver;

/**
 * The delegate a folder walk hands to each single-file copy: progress, cancel and the overwrite
 * question go on to the walk's observer. The walk announces and concludes each file itself, so
 * the copy's own start and end callbacks are dropped here.
 */
class CopyProgressRelay : public AFCDirectoryDelegate {
public:
    explicit CopyProgressRelay(TransferObserver& observer) : observer_(observer) {}

    void willCopyFile(const CZelboString& source, const CZelboString& destination,
                      int64_t size) override;
    void copyProgress(int64_t done, int64_t total) override;
    void didCopyFile(const CZelboString& destination) override;
    bool isCancelled() override;
    bool shouldOverwrite(const CZelboString& path, CopyTarget target) override;

private:
    TransferObserver& observer_;
};
