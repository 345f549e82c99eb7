#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <atomic>
#include <deque>
#include <memory>

#include "app/transferrun.h"
#include "transfer/transferhistorystore.h"
#include "transfer/transferqueue.h"
#include "transfer/transferworker.h"
#include "transfer/ui/transferprompts.h"

class CMainWindow;
class CTransferManagerWindow;

namespace ZelboLib {
class FileSystemNode;
}

/**
 * The main window's file commands: copying the selection to a folder of this computer, adding
 * files, folders and dropped items to the device, deleting, renaming and making folders. Copies
 * go through one queue and one worker thread while a progress window shows the run and the main
 * window waits disabled. A command given while a run goes on (its window hidden with Escape) waits
 * for it and is then run and reported on its own. A hidden run shows in the status line, whose
 * click brings its window back. GUI thread.
 */
class FileCommands : public QObject {
    Q_OBJECT
public:
    using NodePointer = std::shared_ptr<ZelboLib::FileSystemNode>;

    /** historyFile: the database of the transfer history. */
    FileCommands(CMainWindow& window, const QString& historyFile);
    ~FileCommands() override;

    /** Asks for a local folder, then copies the list's selection there. */
    void download();
    /** Copies items of the device into the local folder. */
    void downloadTo(const std::vector<NodePointer>& items, const QString& folder);
    /** Asks for a local folder, then imports the device's new photos and videos there. */
    void importNewPhotos(const NodePointer& device);
    /** Copies the camera roll's files not copied from device before into folder, asking first. */
    void importPhotos(const NodePointer& device, const QString& folder);
    /** Asks for files, then adds them to the upload target. */
    void uploadFiles();
    /** Asks for a local folder, then adds it to the upload target. */
    void uploadDirectory();
    void uploadDropped(const QStringList& paths, const NodePointer& target);
    /** Copies local files and folders into the device folder target. */
    void upload(const QStringList& paths, const NodePointer& target);
    void deleteSelection();
    void rename();
    void newFolder();

    /** Opens another transfer manager window at the main window's bottom right; only the newest
     * one gains rows while files are copied. */
    void showTransferManager();

    bool isTransferring() const { return worker_.isRunning(); }
    /**
     * Downloads items into folder for a drag out of the window and waits, the window painting,
     * until every copy waiting has ended; returns the local paths of the items that arrived. Only
     * failures are told: the drop target takes the files from there.
     */
    QStringList downloadForDrag(const std::vector<NodePointer>& items, const QString& folder);
    /** The name a download gives item in the folder it goes to. */
    static QString downloadedName(const NodePointer& item);
    /** Shows the progress window again of a run hidden with Escape. */
    void showRunningTransfer();
    /** Cancels a running transfer and waits for its worker, still delivering its reports. */
    void shutdown();

    TransferHistoryStore& history() { return history_; }

private:
    /** A copy command waiting for the run before it. */
    struct Command {
        TransferBatch batch;
        QString destinationText;
        bool offerOpenFolder = false;
        /** An import's counts, for its own completion message. */
        std::optional<TransferPrompts::ImportCounts> import;
        /** False when only failures are told (a drag out). */
        bool announceSuccess = true;
    };

    /** A batch downloading items (not empty) into folder, each as it is. */
    static TransferBatch downloadBatch(const std::vector<NodePointer>& items,
                                       const QString& folder);
    void startTransfer(TransferBatch batch, const QString& destinationText, bool offerOpenFolder,
                       std::optional<TransferPrompts::ImportCounts> import = std::nullopt);
    /** Starts the first waiting command's run; false when none waits. */
    bool startNextCommand();
    void runTransfers();
    void workerEnded();
    /** Reports the run that has ended and starts the next command. */
    void finishRun();
    void reportRun();
    /** The name entered, trimmed, or nothing once the user was told over dialog why not. */
    std::optional<CZelboString> checkedName(const QString& entered, bool forFolder,
                                            QWidget* dialog);

    CMainWindow& window_;
    TransferQueue queue_;
    TransferHistoryStore history_;
    TransferRun run_;
    TransferWorker worker_;
    std::deque<Command> waiting_;
    std::optional<TransferPrompts::ImportCounts> runImport_;  // the current run's, if an import
    bool runAnnouncesSuccess_ = true;
    bool runShown_ = false;
    bool reportWhenWorkerEnds_ = false;
    QPointer<CTransferManagerWindow> newestManager_;
    std::atomic<bool> managerFillPending_{false};
};
