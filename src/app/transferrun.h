#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <atomic>
#include <memory>
#include <mutex>

#include "transfer/transferrate.h"
#include "transfer/transferrunobserver.h"
#include "transfer/ui/transferprompts.h"

class AMDevice;
class CProgressWindow;
class QWidget;

/**
 * The state of one transfer run and the worker's observer for it. The worker's reports land in
 * shared counters, and a timer on the user-interface thread brings the progress window up to
 * date ten times a second, so a run of small files costs the worker no messages at all; while the
 * window is hidden the ticks still come (progressShown), for the status line.
 * The overwrite question is asked on the user-interface thread while the worker waits for the
 * answer. A run whose device goes away is cancelled at once and remembers which device it was.
 */
class TransferRun : public QObject, public TransferRunObserver {
    Q_OBJECT
public:
    /** owner: the window that owns the prompts. */
    explicit TransferRun(QWidget* owner);

    /** Starts a new run: counters, answers and device loss cleared. GUI thread, no worker. */
    void reset(const QString& destinationText, bool offerOpenFolder);
    /** The window progress goes to while it is shown; null while none is. */
    void setProgressWindow(CProgressWindow* window);
    /** Stops the ticks, once the run's worker has ended. GUI thread. */
    void stopTicking() { ticker_.stop(); }
    void cancel() { cancelRequested_.store(true); }

    bool cancelRequested() const { return cancelRequested_.load(); }
    int filesCopied() const { return filesCopied_.load(); }
    /** Files that did not arrive, not counting those the user chose to keep. */
    int filesFailed() const { return filesFailed_.load(); }
    /** Copied, failed (with the first reason) and skipped files, for the completion message. */
    TransferPrompts::RunOutcome outcome() const;
    const QString& destinationText() const { return destinationText_; }
    bool offerOpenFolder() const { return offerOpenFolder_; }
    /**
     * The name of the device that went away during the run, also when it was found gone only
     * after files failed; empty when none did.
     */
    QString lostDeviceName() const;
    /** The run's share done, 0 to 100, as of the last tick. GUI thread. */
    int overallPercent() const { return overallPercent_; }

    // The worker's reports (worker thread).
    void jobStarting(const TransferJob& job, int64_t totalBytes) override;
    void batchFinished(const TransferBatch& batch) override;
    void workerFinished() override;
    void fileStarted(const CZelboString& source, const CZelboString& destination,
                     int64_t size) override;
    void fileProgress(int64_t done, int64_t total) override;
    void fileFinished(const CZelboString& source, const CZelboString& destination) override;
    void itemFailed(const CZelboString& source, const CZelboString& reason) override;
    void itemSkipped(const CZelboString& source, const CZelboString& reason) override;
    void fileNotConverted(const CZelboString& source, const CZelboString& reason) override;
    bool isCancelled() override;
    CZelboString stopReason() override;
    bool shouldOverwrite(const CZelboString& path, CopyTarget target) override;

signals:
    /** An upload batch ended: its folder should be shown afresh (GUI thread). */
    void folderChanged(std::shared_ptr<ZelboLib::FileSystemNode> folder);
    /** The worker has ended (GUI thread). */
    void workerEnded();
    /** A tick brought the run's figures up to date (GUI thread). */
    void progressShown();

private:
    void showProgress();
    /** Counts the current file as done with, arrived or not, for the overall figures. */
    void closeCurrentFile();

    QWidget* owner_;
    QPointer<CProgressWindow> progressWindow_;
    QString destinationText_;
    bool offerOpenFolder_ = false;
    int overwriteAnswer_ = -1;

    std::atomic<bool> cancelRequested_{false};
    std::atomic<int> filesCopied_{0};
    std::atomic<int> filesFailed_{0};
    std::atomic<int> filesSkipped_{0};
    // The user chose to keep the current file's target: its end is a skip, not a failure.
    std::atomic<bool> currentFileKept_{false};
    std::shared_ptr<AMDevice> device_;  // the current job's; worker thread only

    mutable std::mutex mutex_;  // guards what follows
    QString message_;
    int percent_ = 0;
    int64_t totalBytes_ = 0;
    int64_t bytesOfDoneFiles_ = 0;
    int64_t currentFileSize_ = 0;
    int64_t currentFileDone_ = 0;
    QString lostDeviceName_;
    std::weak_ptr<AMDevice> lastDevice_;
    QString firstFailure_;
    int filesNotConverted_ = 0;
    QString firstNotConverted_;
    QElapsedTimer clock_;  // the rest: GUI thread only
    int overallPercent_ = 0;
    TransferRate rate_;
    QTimer ticker_;
};
