#pragma once

#include <string>

#include "progressline.h"
#include "transfer/transferobserver.h"

/**
 * The CLI's side of a folder walk: a progress line on a terminal, one line on stderr for every
 * item that failed or was skipped and every photo not converted, and the counts the exit code is
 * made from.
 */
class TransferReporter : public TransferObserver {
public:
    /** Overwrite: whether existing targets are replaced (-f) or kept, failing their copy. */
    enum class Overwrite { Keep, Replace };

    TransferReporter(std::string command, Overwrite overwrite)
        : command_(std::move(command)), overwrite_(overwrite) {}

    void fileStarted(const CZelboString& source, const CZelboString& destination,
                     int64_t size) override;
    void fileProgress(int64_t done, int64_t total) override;
    void fileFinished(const CZelboString& source, const CZelboString& destination) override;
    void itemFailed(const CZelboString& source, const CZelboString& reason) override;
    void itemSkipped(const CZelboString& source, const CZelboString& reason) override;
    void fileNotConverted(const CZelboString& source, const CZelboString& reason) override;
    bool shouldOverwrite(const CZelboString& path, CopyTarget target) override;

    int failures() const { return failures_; }
    int copied() const { return copied_; }
    /** Files not copied because their target was kept (among failures). */
    int kept() const { return kept_; }

private:
    void printLine(const CZelboString& source, const std::string& text);

    std::string command_;
    Overwrite overwrite_;
    ProgressLine progress_;
    int failures_ = 0;
    int copied_ = 0;
    int kept_ = 0;
    // The target of the file being copied was kept: its failure is a skip.
    bool keeping_ = false;
    int64_t finishedBytes_ = 0;
    int64_t currentBytes_ = 0;
};
