#include "transferreporter.h"

#include <utility>

#include "errorline.h"

void TransferReporter::fileStarted(const CZelboString& source, const CZelboString& /*destination*/,
                                   int64_t size) {
    currentBytes_ = 0;
    keeping_ = false;
    progress_.startFile(source.toUtf8());
    progress_.update(0, size, finishedBytes_);
}

void TransferReporter::fileProgress(int64_t done, int64_t total) {
    currentBytes_ = done;
    progress_.update(done, total, finishedBytes_ + done);
}

void TransferReporter::fileFinished(const CZelboString& /*source*/,
                                    const CZelboString& /*destination*/) {
    ++copied_;
    finishedBytes_ += currentBytes_;
    currentBytes_ = 0;
}

void TransferReporter::itemFailed(const CZelboString& source, const CZelboString& reason) {
    ++failures_;
    if (std::exchange(keeping_, false))
        ++kept_;
    finishedBytes_ += currentBytes_;
    currentBytes_ = 0;
    printLine(source, reason.toUtf8());
}

void TransferReporter::itemSkipped(const CZelboString& source, const CZelboString& reason) {
    printLine(source, "skipped: " + reason.toUtf8());
}

void TransferReporter::fileNotConverted(const CZelboString& source, const CZelboString& reason) {
    printLine(source, "copied as it is, not converted to JPEG: " + reason.toUtf8());
}

bool TransferReporter::shouldOverwrite(const CZelboString& /*path*/, CopyTarget /*target*/) {
    keeping_ = overwrite_ != Overwrite::Replace;
    return !keeping_;
}

void TransferReporter::printLine(const CZelboString& source, const std::string& text) {
    progress_.clear();
    printError(command_, source.toUtf8() + ": " + text);
}
