#include "app/filecommands.h"

#include <sys/stat.h>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QTimer>
#include <atomic>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "afc/afcdirectory.h"
#include "app/cmainwindow.h"
#include "app/deleteconfirmation.h"
#include "app/filelistsource.h"
#include "app/photoimportcommand.h"
#include "app/preferences.h"
#include "app/qtextconversion.h"
#include "device/amdevice.h"
#include "fstree/filesystemnode.h"
#include "fstree/photolibrary.h"
#include "transfer/ui/calertdialog.h"
#include "transfer/ui/cconfirmdialog.h"
#include "transfer/ui/cprogresswindow.h"
#include "transfer/ui/ctransfermanagerwindow.h"
#include "transfer/ui/folderchooser.h"
#include "transfer/ui/transferprompts.h"
#include "values/localpaths.h"

using ZelboLib::FileSystemNode;
using ZelboLib::RefreshParent;

namespace {

const QString kCopyTitle = QStringLiteral("Copy to Folder");

/** Which file a path names (device and inode), or nothing there. */
using FileIdentity = std::pair<dev_t, ino_t>;

std::optional<FileIdentity> fileIdentity(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

}  // namespace

FileCommands::FileCommands(CMainWindow& window, const QString& historyFile)
    : window_(window),
      history_(toZelboString(historyFile)),
      run_(&window),
      worker_(queue_, &history_, run_) {
    connect(&run_, &TransferRun::folderChanged, this,
            [this](const NodePointer& folder) { window_.folderContentsChanged(folder); });
    connect(&run_, &TransferRun::workerEnded, this, &FileCommands::workerEnded);
    connect(&run_, &TransferRun::progressShown, this, [this] {
        if (!runShown_ && worker_.isRunning())
            window_.showTransferProgress(run_.overallPercent());
    });
    // Records come from the worker; the newest manager window shows them, one fill per burst.
    history_.setRecordAddedListener([this](const TransferRecord&) {
        if (managerFillPending_.exchange(true))
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                managerFillPending_.store(false);
                if (newestManager_)
                    newestManager_->fill();
            },
            Qt::QueuedConnection);
    });
}

FileCommands::~FileCommands() {
    shutdown();
    history_.setRecordAddedListener({});
}

void FileCommands::showTransferManager() {
    auto* manager = new CTransferManagerWindow(&window_, history_);
    manager->move(CTransferManagerWindow::placement(window_.frameGeometry(), manager->size()));
    manager->show();
    manager->activateWindow();
    newestManager_ = manager;
}

// --- Copies ---

void FileCommands::download() {
    const std::vector<NodePointer> items = window_.selectedNodes();
    if (items.empty())
        return;
    if (const std::optional<QString> folder = chooseFolder(&window_))
        downloadTo(items, *folder);
}

TransferBatch FileCommands::downloadBatch(const std::vector<NodePointer>& items,
                                          const QString& folder) {
    TransferBatch batch;
    batch.device = items.front()->device();
    for (const NodePointer& item : items)
        batch.jobs.push_back({true, item->fullPath(), toZelboString(folder), item});
    return batch;
}

void FileCommands::downloadTo(const std::vector<NodePointer>& items, const QString& folder) {
    if (items.empty())
        return;
    TransferBatch batch = downloadBatch(items, folder);
    if (Preferences::readSwitch(Preferences::Switch::ConvertHeicToJpeg))
        batch.heicToJpeg = HeicToJpeg::Convert;
    startTransfer(std::move(batch), folder, true);
}

void FileCommands::importNewPhotos(const NodePointer& device) {
    if (const std::optional<QString> folder = chooseFolder(&window_))
        importPhotos(device, *folder);
}

void FileCommands::importPhotos(const NodePointer& device, const QString& folder) {
    std::optional<PhotoImportCommand::Choice> choice =
        PhotoImportCommand::prepare(window_, device, folder, history_);
    if (!choice)
        return;
    TransferBatch batch;
    batch.device = device->device();
    if (Preferences::readSwitch(Preferences::Switch::ConvertHeicToJpeg))
        batch.heicToJpeg = HeicToJpeg::Convert;
    batch.jobs.push_back(std::move(choice->job));
    startTransfer(std::move(batch), folder, true, choice->counts);
}

QStringList FileCommands::downloadForDrag(const std::vector<NodePointer>& items,
                                          const QString& folder) {
    if (items.empty())
        return {};
    // A file that was there before and was kept (the overwrite question, a failure) is not one
    // that arrived: an arrived copy is renamed into place, a file of its own.
    std::vector<std::optional<FileIdentity>> before;
    for (const NodePointer& item : items)
        before.push_back(fileIdentity(QDir(folder).filePath(downloadedName(item))));
    waiting_.push_back({downloadBatch(items, folder), folder, false, std::nullopt, false});
    if (!runShown_ && startNextCommand())
        runTransfers();
    // Runs started here or before end in their own event loops; a run still waiting its turn
    // behind a hidden one is waited for here.
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        if (!worker_.isRunning() && waiting_.empty() && !runShown_)
            loop.quit();
    });
    poll.start(50);
    loop.exec();
    QStringList arrived;
    for (size_t index = 0; index < items.size(); ++index) {
        const QString path = QDir(folder).filePath(downloadedName(items[index]));
        const std::optional<FileIdentity> now = fileIdentity(path);
        if (now && now != before[index])
            arrived << path;
    }
    return arrived;
}

QString FileCommands::downloadedName(const NodePointer& item) {
    return toQString(fileNameOfLocalPath(item->fullPath()));
}

void FileCommands::uploadFiles() {
    const NodePointer target = window_.uploadTarget();
    if (!target || !target->acceptsNewItems())
        return;
    const QStringList files = chooseFilesToAdd(&window_);
    upload(files, target);
}

void FileCommands::uploadDirectory() {
    const NodePointer target = window_.uploadTarget();
    if (!target || !target->acceptsNewItems())
        return;
    const std::optional<QString> folder = chooseFolder(&window_);
    if (!folder)
        return;
    upload({*folder}, target);
}

void FileCommands::uploadDropped(const QStringList& paths, const NodePointer& target) {
    if (!target || !target->acceptsNewItems() || paths.isEmpty())
        return;
    window_.raise();
    window_.activateWindow();
    upload(paths, target);
}

void FileCommands::upload(const QStringList& paths, const NodePointer& target) {
    if (paths.isEmpty())
        return;
    if (PhotoLibrary::contains(*target)) {
        AlertRequest notice;
        notice.title = QStringLiteral("Information");
        notice.info = QStringLiteral("Copying into the camera roll folder");
        notice.message = QString::fromUtf8(PhotoLibrary::kUploadWarning);
        notice.icon = QStringLiteral("icons\\info60.png");
        notice.okText = QStringLiteral("OK");
        CAlertDialog::showAlert(&window_, notice);
    }
    TransferBatch batch;
    batch.targetFolder = target;
    batch.device = target->device();
    for (const QString& path : paths) {
        if (!path.isEmpty())
            batch.jobs.push_back({false, toZelboString(path), target->fullPath(), target});
    }
    startTransfer(std::move(batch), toQString(target->displayPath()), false);
}

void FileCommands::startTransfer(TransferBatch batch, const QString& destinationText,
                                 bool offerOpenFolder,
                                 std::optional<TransferPrompts::ImportCounts> import) {
    if (batch.jobs.empty())
        return;
    waiting_.push_back({std::move(batch), destinationText, offerOpenFolder, import});
    // The run shown starts it once it has ended.
    if (runShown_)
        return;
    // A run going on is shown again; its end starts this command.
    if (worker_.isRunning()) {
        runTransfers();
        return;
    }
    // A hidden run that has ended, its end not handled yet, is reported first.
    if (reportWhenWorkerEnds_) {
        workerEnded();
        return;
    }
    if (startNextCommand())
        runTransfers();
}

bool FileCommands::startNextCommand() {
    if (waiting_.empty())
        return false;
    Command next = std::move(waiting_.front());
    waiting_.pop_front();
    run_.reset(next.destinationText, next.offerOpenFolder);
    runImport_ = next.import;
    runAnnouncesSuccess_ = next.announceSuccess;
    queue_.enqueue(std::move(next.batch));
    worker_.start();
    return true;
}

void FileCommands::showRunningTransfer() {
    if (worker_.isRunning() && !runShown_)
        runTransfers();
}

void FileCommands::runTransfers() {
    runShown_ = true;
    window_.showTransferProgress(std::nullopt);
    // This showing reports the run when it ends, also for a run it brought back after Escape.
    reportWhenWorkerEnds_ = false;
    {
        CProgressWindow progress(&window_, CProgressWindow::Mode::Transfer, kCopyTitle);
        QEventLoop loop;
        connect(&progress, &CProgressWindow::cancelClicked, &loop, [this] {
            run_.cancel();
            // A device that takes or sends nothing more would hold the copy until it times out.
            worker_.interruptCopies();
        });
        connect(&progress, &CProgressWindow::closedEarly, &loop, &QEventLoop::quit);
        connect(&run_, &TransferRun::workerEnded, &loop, [this, &loop] {
            if (!worker_.isRunning())
                loop.quit();
        });
        run_.setProgressWindow(&progress);
        // Window-modal: the main window takes no input but keeps painting; disabling it would
        // disable the progress window and the prompts, which are its children.
        progress.show();
        // Runs until the worker's end is handled: a worker that has ended already still has its
        // end queued, behind its last reports (the folder to show again).
        loop.exec();
        run_.setProgressWindow(nullptr);
    }
    window_.activateWindow();
    runShown_ = false;
    // After Escape the worker goes on; its run is reported once it has ended.
    if (worker_.isRunning()) {
        reportWhenWorkerEnds_ = true;
        window_.showTransferProgress(run_.overallPercent());
        return;
    }
    finishRun();
}

void FileCommands::workerEnded() {
    // A late report of a worker that has been started again since: that one is still running.
    if (worker_.isRunning())
        return;
    worker_.join();
    run_.stopTicking();
    if (std::exchange(reportWhenWorkerEnds_, false)) {
        window_.showTransferProgress(std::nullopt);
        finishRun();
    }
}

void FileCommands::finishRun() {
    reportRun();
    if (startNextCommand())
        runTransfers();
}

void FileCommands::reportRun() {
    const QString lostDevice = run_.lostDeviceName();
    if (!lostDevice.isEmpty()) {
        TransferPrompts::showError(
            &window_, QStringLiteral("The device \"%1\" was disconnected").arg(lostDevice),
            QStringLiteral("%1 files were copied before it went away; the others were not.")
                .arg(run_.filesCopied()));
        return;
    }
    if (run_.cancelRequested())
        return;
    if (!runAnnouncesSuccess_ && run_.outcome().failed == 0)
        return;
    if (runImport_) {
        TransferPrompts::showImportMessage(&window_, run_.destinationText(), run_.outcome(),
                                           *runImport_);
        return;
    }
    TransferPrompts::showCompletionMessage(&window_, run_.destinationText(), run_.offerOpenFolder(),
                                           run_.outcome());
}

void FileCommands::shutdown() {
    if (!worker_.isRunning()) {
        worker_.join();
        return;
    }
    waiting_.clear();
    run_.cancel();
    worker_.requestStop();
    worker_.interruptCopies();
    // The worker may still wait on the user-interface thread: keep delivering its calls.
    QEventLoop loop;
    connect(&run_, &TransferRun::workerEnded, &loop, &QEventLoop::quit);
    if (worker_.isRunning())
        loop.exec();
    worker_.join();
    queue_.clear();
}

// --- Delete, rename, new folder ---

void FileCommands::deleteSelection() {
    std::vector<NodePointer> items = window_.selectedNodes();
    const bool refused = std::any_of(items.begin(), items.end(), [](const NodePointer& item) {
        return !item->canRemoveOrRename();
    });
    if (refused) {
        TransferPrompts::showError(
            &window_, QStringLiteral("These items can't be deleted"),
            QStringLiteral("The areas of the device and the apps' containers stay; select "
                           "the files and folders inside them."));
        return;
    }
    if (items.empty() || !DeleteConfirmation::ask(&window_, items))
        return;
    // The thumbnail worker must not read what is being deleted.
    window_.stopThumbnails();

    CProgressWindow progress(&window_, CProgressWindow::Mode::Busy, QStringLiteral("Deleting"));
    progress.show();
    std::atomic<bool> stop{false};
    QEventLoop loop;
    connect(&progress, &CProgressWindow::cancelClicked, &loop, [&stop] { stop.store(true); });
    // Closed early, the window no longer blocks the main window's input: the main window takes
    // none until the thread has ended.
    connect(&progress, &CProgressWindow::closedEarly, &loop, [this, &stop] {
        stop.store(true);
        window_.setEnabled(false);
    });
    QPointer<CProgressWindow> window(&progress);
    std::thread deleter([&] {
        for (const NodePointer& item : items) {
            if (stop.load())
                break;
            const QString text = QStringLiteral("Deleting item %1...").arg(toQString(item->name()));
            QMetaObject::invokeMethod(&loop, [window, text] {
                if (window)
                    window->setMessage(text);
            });
            item->remove(RefreshParent::No);
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    deleter.join();
    progress.close();
    window_.setEnabled(true);
    window_.activateWindow();
    window_.folderContentsChanged(window_.currentNode());
}

std::optional<CZelboString> FileCommands::checkedName(const QString& entered, bool forFolder,
                                                      QWidget* dialog) {
    CZelboString name = toZelboString(entered);
    name.trimLeadingSpaces();
    name.trimTrailing(u' ');
    const QString invalid =
        forFolder ? QStringLiteral("Invalid folder name!") : QStringLiteral("Invalid filename!");
    if (name.isEmpty()) {
        TransferPrompts::showError(
            dialog, invalid,
            forFolder ? QStringLiteral("The folder name can't be empty or just whitespaces.")
                      : QStringLiteral("The file name can't be empty or just whitespaces."));
        return std::nullopt;
    }
    // A separator would put the item elsewhere ("../x" even outside the folder).
    const std::u16string_view text = name.view();
    if (text.find_first_of(u"/\\") != std::u16string_view::npos || text == u"." || text == u"..") {
        TransferPrompts::showError(
            dialog, invalid,
            QStringLiteral("A name can't contain \"/\" or \"\\\", nor be \".\" or \"..\"."));
        return std::nullopt;
    }
    return name;
}

namespace {

// What stands at a name that a rename or a new folder would take.
enum class NameTaken { No, ByFolder, ByFile };

NameTaken nameTaken(AFCDirectory& connection, const CZelboString& path) {
    const ZelboLib::Owned<ZelboLib::NSDictionary> info = connection.fileInfo(path);
    if (!info)
        return NameTaken::No;
    const ZelboLib::Object* type = info->objectForKey(u"st_ifmt");
    return type && type->description().view() == u"S_IFDIR" ? NameTaken::ByFolder
                                                            : NameTaken::ByFile;
}

QString takenText(NameTaken taken) {
    return taken == NameTaken::ByFolder ? QStringLiteral("A folder with that name already exists.")
                                        : QStringLiteral("A file with that name already exists.");
}

}  // namespace

void FileCommands::rename() {
    const std::vector<NodePointer> items = window_.selectedNodes();
    if (items.empty())
        return;
    const NodePointer item = items.front();
    if (!item->canRemoveOrRename())
        return;
    const CZelboString oldPath = item->fullPath();
    const QString oldName = toQString(fileNameOfLocalPath(oldPath));
    const std::shared_ptr<AFCDirectory> connection = item->directory();
    const QString failed =
        QStringLiteral("Failed to rename the file \"%1\" at this moment").arg(oldName);
    if (!connection) {
        TransferPrompts::showError(&window_, failed,
                                   QStringLiteral("The device's connection has closed."));
        return;
    }
    CZelboString renamedTo;
    const auto tryName = [&](const QString& entered, QWidget* dialog) {
        const std::optional<CZelboString> name = checkedName(entered, false, dialog);
        if (!name)
            return false;
        const CZelboString newPath =
            toForwardSlashes(joinLocalPath(parentOfLocalPath(oldPath), *name));
        if (newPath == oldPath)
            return true;
        enum class Outcome { Renamed, Failed } outcome = Outcome::Failed;
        NameTaken taken = NameTaken::No;
        window_.runDeviceStep([&] {
            // Renaming onto an existing item would replace it.
            taken = nameTaken(*connection, newPath);
            if (taken == NameTaken::No && connection->renameItem(oldPath, newPath))
                outcome = Outcome::Renamed;
        });
        if (taken != NameTaken::No) {
            TransferPrompts::showError(dialog, failed, takenText(taken));
            return false;
        }
        if (outcome == Outcome::Failed) {
            TransferPrompts::showError(
                dialog, failed,
                QStringLiteral("Please verify the entered filename and try again later."));
            return false;
        }
        renamedTo = *name;
        return true;
    };
    // As the list knows it: asking the node could wait for the device here.
    const auto selection = window_.fileList().isFolder(window_.selectedRows().front())
                               ? CConfirmDialog::Selection::All
                               : CConfirmDialog::Selection::NameWithoutExtension;
    CConfirmDialog::askName(&window_, QStringLiteral("Rename"),
                            QStringLiteral("Enter the new filename:"), oldName, tryName, selection);
    if (renamedTo.isEmpty())
        return;
    window_.folderContentsChanged(window_.currentNode());
    window_.selectItemNamed(renamedTo);
}

void FileCommands::newFolder() {
    const NodePointer parent = window_.currentNode();
    if (!parent || !parent->acceptsNewItems())
        return;
    const std::shared_ptr<AFCDirectory> connection = parent->directory();
    CZelboString made;
    const auto tryName = [&](const QString& entered, QWidget* dialog) {
        const std::optional<CZelboString> name = checkedName(entered, true, dialog);
        if (!name)
            return false;
        const QString failed =
            QStringLiteral("Failed to create folder \"%1\" at this moment").arg(toQString(*name));
        if (!connection) {
            TransferPrompts::showError(dialog, failed,
                                       QStringLiteral("The device's connection has closed."));
            return false;
        }
        const CZelboString path = toForwardSlashes(joinLocalPath(parent->fullPath(), *name));
        bool created = false;
        NameTaken taken = NameTaken::No;
        // The device makes a folder that is already there without a word: look first.
        window_.runDeviceStep([&] {
            taken = nameTaken(*connection, path);
            created = taken == NameTaken::No && connection->createDirectory(path);
        });
        if (taken != NameTaken::No) {
            TransferPrompts::showError(dialog, failed, takenText(taken));
            return false;
        }
        if (!created) {
            TransferPrompts::showError(
                dialog, failed,
                QStringLiteral("Please verify the entered folder name and try again later."));
            return false;
        }
        made = *name;
        return true;
    };
    CConfirmDialog::askName(&window_, QStringLiteral("New Folder"),
                            QStringLiteral("Enter the folder name:"), QStringLiteral("New Folder"),
                            tryName);
    if (made.isEmpty())
        return;
    window_.folderContentsChanged(parent);
    if (parent == window_.currentNode())
        window_.selectItemNamed(made);
}
