#include "transfer/copyprogressrelay.h"

#include "transfer/transferobserver.h"

void CopyProgressRelay::willCopyFile(const CZelboString& /*source*/,
                                     const CZelboString& /*destination*/, int64_t /*size*/) {}

void CopyProgressRelay::copyProgress(int64_t done, int64_t total) {
    observer_.fileProgress(done, total);
}

void CopyProgressRelay::didCopyFile(const CZelboString& /*destination*/) {}

bool CopyProgressRelay::isCancelled() {
    return observer_.isCancelled();
}

bool CopyProgressRelay::shouldOverwrite(const CZelboString& path, CopyTarget target) {
    return observer_.shouldOverwrite(path, target);
}
