#include "transfer/ui/ctransfermanagerwindow.h"

#include <cstddef>
#include <utility>
#include <vector>

#include <QAbstractButton>
#include <QListView>
#include <QPushButton>
#include <QTimer>

#include "transfer/transferhistorystore.h"
#include "transfer/ui/folderreveal.h"
#include "transfer/ui/transferhistorymodel.h"
#include "transfer/ui/transferhistoryrowdelegate.h"
#include "transfer/ui/transferprompts.h"
#include "ui/windowchrome.h"

namespace {

constexpr int kRightInset = 10;
constexpr int kBottomInset = 40;
// How often the file in progress and its progress are read again.
constexpr int kProgressIntervalMs = 200;

// The time stamp is left out: the store fills it in once the record reaches the database.
bool isSameTransfer(const TransferRecord& a, const TransferRecord& b) {
    return a.fromDevice == b.fromDevice && a.status == b.status &&
           a.notCopiedCause == b.notCopiedCause && a.localFile == b.localFile &&
           a.deviceFile == b.deviceFile && a.deviceDisplayPath == b.deviceDisplayPath &&
           a.deviceName == b.deviceName && a.size == b.size;
}

}  // namespace

CTransferManagerWindow::CTransferManagerWindow(QWidget* owner, TransferHistoryStore& history)
    : SkinnedDialog(QStringLiteral("downloadmanager.xml"), owner), history_(history) {
    setObjectName(QStringLiteral("TransferManagerWindow"));
    setWindowModality(Qt::NonModal);
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(kWidth, kMinHeight);
    setMaximumSize(kWidth, kMaxHeight);
    resize(kWidth, kMinHeight);
    makeResizable();
    // Enter must not close the window through its only push button.
    if (auto* closeButton = control<QPushButton>(QStringLiteral("btnClose")))
        closeButton->setAutoDefault(false);
    setUpList();
    fill();
    // Polled, not announced: a file's progress changes far more often than the window draws.
    auto* progressTimer = new QTimer(this);
    connect(progressTimer, &QTimer::timeout, this, [this] { showFileInProgress(); });
    progressTimer->start(kProgressIntervalMs);
}

CTransferManagerWindow::~CTransferManagerWindow() = default;

void CTransferManagerWindow::fill() {
    addNewRecords();
    // After the records: the store ends the file in progress when it adds the file's record.
    showFileInProgress();
}

void CTransferManagerWindow::showFileInProgress() {
    model_->setFileInProgress(history_.fileInProgress());
}

void CTransferManagerWindow::addNewRecords() {
    const size_t shown = model_->recordCount();
    if (shown == 0) {
        model_->append(history_.records());
        return;
    }
    // The newest shown record is read again. When the history has since put rows of earlier runs
    // ahead of it (its file could not be opened before), the indices moved: read it all afresh.
    std::vector<TransferRecord> records = history_.records(shown - 1);
    if (records.empty() || !isSameTransfer(records.front(), model_->newestRecord())) {
        model_->replaceAll(history_.records());
        return;
    }
    records.erase(records.begin());
    model_->append(std::move(records));
}

QPoint CTransferManagerWindow::placement(const QRect& ownerFrame, QSize size) {
    return {ownerFrame.x() + ownerFrame.width() - size.width() - kRightInset,
            ownerFrame.y() + ownerFrame.height() - size.height() - kBottomInset};
}

// A skinned dialog keeps a fixed size; this one resizes from its edges, so its frame is replaced.
void CTransferManagerWindow::makeResizable() {
    delete findChild<WindowChrome*>(QString(), Qt::FindDirectChildrenOnly);
    // The replaced frame's close connection would close the window twice.
    if (auto* closeButton = control<QAbstractButton>(QStringLiteral("btnClose")))
        closeButton->disconnect(this);
    new WindowChrome(this, WindowResizing::Resizable);
}

void CTransferManagerWindow::setUpList() {
    model_ = new TransferHistoryModel(this);
    auto* list = control<QListView>(QStringLiteral("taskList"));
    if (!list)
        return;
    list->setModel(model_);
    list->setUniformItemSizes(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* delegate = new TransferHistoryRowDelegate(list);
    list->setItemDelegate(delegate);
    // Queued: the file manager and any alert start after the view has finished with the click.
    connect(delegate, &TransferHistoryRowDelegate::openFolderClicked, this,
            &CTransferManagerWindow::revealFile, Qt::QueuedConnection);
}

void CTransferManagerWindow::revealFile(const QString& localFile) {
    const FolderReveal::Result result = FolderReveal::revealInFileManager(localFile);
    switch (result.outcome) {
        case FolderReveal::Result::Outcome::ShownFile:
            break;
        case FolderReveal::Result::Outcome::ShownNearestFolder:
            TransferPrompts::showError(
                this, QStringLiteral("The file is gone"),
                QStringLiteral("%1 no longer exists. Its nearest existing folder, %2, was opened "
                               "instead.")
                    .arg(localFile, result.folder));
            break;
        case FolderReveal::Result::Outcome::NotShown:
            TransferPrompts::showError(
                this, QStringLiteral("The folder cannot be opened"),
                QStringLiteral("No file manager could show %1.").arg(localFile));
            break;
    }
}
