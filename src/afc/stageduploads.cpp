#include "afc/stageduploads.h"

#include <utility>

StagedUploads& StagedUploads::instance() {
    static StagedUploads uploads;
    return uploads;
}

StagedUploads::Hold::Hold(CZelboString path) : path_(std::move(path)) {
    StagedUploads& uploads = instance();
    const std::lock_guard lock(uploads.mutex_);
    uploads.paths_.emplace(path_.view());
}

StagedUploads::Hold::~Hold() {
    StagedUploads& uploads = instance();
    const std::lock_guard lock(uploads.mutex_);
    if (const auto found = uploads.paths_.find(std::u16string(path_.view()));
        found != uploads.paths_.end())
        uploads.paths_.erase(found);
}

bool StagedUploads::isBeingWritten(const CZelboString& path) const {
    const std::lock_guard lock(mutex_);
    return paths_.contains(std::u16string(path.view()));
}
