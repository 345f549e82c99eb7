#include "app/cmainwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>
#include <array>
#include <chrono>

#include "app/busystep.h"
#include "app/caboutdialog.h"
#include "app/ccapacitycontrol.h"
#include "app/cdetailsdialog.h"
#include "app/cimagewellui.h"
#include "app/clabelexui.h"
#include "app/clistviewcontrol.h"
#include "app/cpreferencesdialog.h"
#include "app/deviceitemsmimedata.h"
#include "app/devicepanel.h"
#include "app/devicetreecontrol.h"
#include "app/diskthumbnailcachestore.h"
#include "app/filecommands.h"
#include "app/fileinspector.h"
#include "app/listthumbnails.h"
#include "app/log.h"
#include "app/mainwindowkeys.h"
#include "app/preferences.h"
#include "app/qtextconversion.h"
#include "app/updatechecker.h"
#include "app/updatemessage.h"
#include "app/versiontext.h"
#include "app/viewstyle.h"
#include "device/amdevice.h"
#include "device/devicemonitor.h"
#include "fstree/devicefilesystemnode.h"
#include "fstree/listcolumns.h"
#include "transfer/ui/transferprompts.h"
#include "ui/layoutloader.h"
#include "ui/localdatetext.h"
#include "ui/popupmenu.h"
#include "ui/skinmarkup.h"
#include "values/bytesize.h"

using ZelboLib::DeviceFileSystemNode;
using ZelboLib::FileSystemNode;

namespace {

// The maker's web pages: "Visit Website" and the title bar's feedback button.
const char* const kWebsite = "https://orvane.example/plovik";
const char* const kFeedbackPage = "https://orvane.example/plovik/feedback";

// The widths the tree and the inspector start with.
constexpr int kTreeWidth = 230;
constexpr int kInspectorWidth = 220;

// How long a folder's listing is shown again as it is, before the folder is listed again.
constexpr std::chrono::seconds kListingStaysFresh{1};

const QString kMainMenu = QStringLiteral("mainmenu.xml");
const QString kViewStyleMenu = QStringLiteral("viewstylemenu.xml");
const QString kImportMenu = QStringLiteral("importmenu.xml");
const QString kFileMenu = QStringLiteral("filemenu.xml");

// The items of the file and import menus that run a file command.
constexpr std::array<const char*, 6> kFileMenuItems{"download",    "rename",          "delete",
                                                    "uploadFiles", "uploadDirectory", "newfolder"};

constexpr std::array<ViewStyle, 6> kViewStyles{ViewStyle::Details,    ViewStyle::SmallIcons,
                                               ViewStyle::LargeIcons, ViewStyle::List,
                                               ViewStyle::Tiles,      ViewStyle::ExtraLargeIcons};

}  // namespace

CMainWindow::CMainWindow(LayoutLoader& loader, QWidget* parent)
    : SkinnedWindow(parent), listing_(&PlatformFileTypes::typeName) {
    loader.setControlFactory(QStringLiteral("ListControl"),
                             [](QWidget* owner) { return new CListviewControl(owner); });
    loader.setControlFactory(QStringLiteral("DeviceTreeControl"),
                             [](QWidget* owner) { return new DeviceTreeControl(owner); });
    loader.setControlFactory(QStringLiteral("CapacityControl"),
                             [](QWidget* owner) { return new CCapacityControlUI(owner); });
    loader.setControlFactory(QStringLiteral("ImageWell"),
                             [](QWidget* owner) { return new CImageWellUI(owner); });
    loader.setControlFactory(QStringLiteral("LabelEx"),
                             [](QWidget* owner) { return new CLabelExUI(owner); });
    loadLayout(loader, QStringLiteral("mainwindow.xml"));
    setWindowTitle(QApplication::applicationName());
    if (auto* title = control<QLabel>(QStringLiteral("labelTitle")))
        title->setText(QApplication::applicationName());

    mainMenu_ = std::make_unique<PopupMenu>(kMainMenu, *this, this);
    viewStyleMenu_ = std::make_unique<PopupMenu>(kViewStyleMenu, *this, this);
    importMenu_ = std::make_unique<PopupMenu>(kImportMenu, *this, this);
    fileMenu_ = std::make_unique<PopupMenu>(kFileMenu, *this, this);
    updateChecker_ = new UpdateChecker(QString::fromStdString(programVersion()), this);
    connect(updateChecker_, &UpdateChecker::finished, this,
            [this](const UpdateCheckResult& result) { UpdateMessage::show(result, this); });

    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    fileCommands_ =
        std::make_unique<FileCommands>(*this, dataFolder + QStringLiteral("/transfers.sqlite"));
    const Preferences::SortOrder sort = Preferences::readSortOrder();
    listing_.setSortOrder(sort.column, sort.ascending);
    routeNotifications();
    initialiseControls();
    new MainWindowKeys(*this, list_);
}

CMainWindow::~CMainWindow() {
    // Later events go nowhere; those already queued find this window gone.
    DeviceMonitor::instance().setListener(nullptr);
    fileCommands_.reset();
}

void CMainWindow::stopThumbnails() {
    if (thumbnails_)
        thumbnails_->stopThumbnails();
}

void CMainWindow::shutdownTransfers() {
    fileCommands_->shutdown();
}

void CMainWindow::showTransferProgress(std::optional<int> percent) {
    auto* bar = Controls::find<QProgressBar>(content(), QStringLiteral("progressTransfer"));
    if (!bar)
        return;
    bar->setVisible(percent.has_value());
    if (percent)
        bar->setValue(*percent);
}

bool CMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        watched == Controls::find<QProgressBar>(content(), QStringLiteral("progressTransfer"))) {
        fileCommands_->showRunningTransfer();
        return true;
    }
    return SkinnedWindow::eventFilter(watched, event);
}

void CMainWindow::runDeviceStep(const std::function<void()>& step) {
    runStep(list_, step);
}

std::vector<int> CMainWindow::selectedRows() const {
    std::vector<int> rows;
    if (list_) {
        for (const int row : list_->selectedItems())
            rows.push_back(row);
    }
    return rows;
}

std::vector<CMainWindow::NodePointer> CMainWindow::selectedNodes() {
    std::vector<NodePointer> nodes;
    // The rows' entries exist: the list shows rows only after they were built.
    const auto& entries = listing_.entries();
    for (const int row : selectedRows()) {
        if (static_cast<std::size_t>(row) < entries.size())
            nodes.push_back(entries[static_cast<std::size_t>(row)]);
    }
    return nodes;
}

void CMainWindow::selectItemNamed(const CZelboString& name) {
    if (!list_)
        return;
    const std::vector<NodePointer>& entries = listing_.entries();
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const NodePointer& entry) {
        return entry->name() == name;
    });
    if (found != entries.end())
        list_->selectItem(static_cast<int>(found - entries.begin()));
}

CMainWindow::NodePointer CMainWindow::uploadTarget() {
    const std::vector<int> rows = selectedRows();
    if (!rows.empty() && listing_.isFolder(rows.front()))
        return selectedNodes().front();
    return currentNode_;
}

void CMainWindow::initialiseControls() {
    list_ = control<CListviewControl>(QStringLiteral("fileListview"));
    tree_ = control<DeviceTreeControl>(QStringLiteral("fileTreeview"));
    const StepRunner runner = [this](QWidget* over, const std::function<void()>& step) {
        runStep(over, step);
    };
    if (list_) {
        // The Delete key deletes the selection, refusing what cannot be removed as the menu does.
        auto* deleteKey = new QShortcut(QKeySequence::Delete, list_);
        deleteKey->setContext(Qt::WidgetWithChildrenShortcut);
        connect(deleteKey, &QShortcut::activated, this,
                [this] { fileCommands_->deleteSelection(); });
        list_->setDataSource(this);
        list_->setDelegate(this);
        list_->setStepRunner(runner);
        const auto fileOfItem = [this](int item) -> NodePointer {
            const auto& entries = listing_.entries();
            if (item < 0 || static_cast<std::size_t>(item) >= entries.size() ||
                listing_.isFolder(item))
                return nullptr;
            return entries[static_cast<std::size_t>(item)];
        };
        thumbnails_ = std::make_unique<ListThumbnails>(fileOfItem, *list_, this, runner);
        list_->setThumbnailRequester(thumbnails_.get());
        list_->initialise();
        list_->setEmptyText(QStringLiteral("This folder is empty"));
        list_->setViewStyle(Preferences::readViewStyle());
        // The button shows the style the list took (an unknown code shows Extra Large Icons).
        if (auto* button = control<QAbstractButton>(QStringLiteral("btnViewstyle")))
            button->setIcon(QIcon(viewStyleGlyph(
                viewStyleFromCode(list_->viewStyle()).value_or(ViewStyle::ExtraLargeIcons))));
    }
    if (tree_) {
        tree_->setDataSource(&treeSource_);
        tree_->setDelegate(this);
        tree_->setStepRunner(runner);
        tree_->setBusyIndicatorHost(list_ ? static_cast<QWidget*>(list_) : this);
    }
    // The tree and the inspector keep their widths as the window grows; the user drags them.
    if (auto* splitter = control<QSplitter>(QStringLiteral("devicesSplitter"))) {
        splitter->setStretchFactor(0, 0);
        splitter->setStretchFactor(1, 1);
        splitter->setSizes({kTreeWidth, width() - kTreeWidth});
    }
    if (auto* splitter = control<QSplitter>(QStringLiteral("browserSplitter"))) {
        splitter->setStretchFactor(0, 1);
        splitter->setStretchFactor(1, 0);
        splitter->setSizes({width(), kInspectorWidth});
    }
    // The transfer history opens from the status line; its bar shows a copy whose window is hidden.
    Controls::setVisible(content(), QStringLiteral("statusTransfer"), true);
    if (auto* bar = Controls::find<QProgressBar>(content(), QStringLiteral("progressTransfer"))) {
        bar->setVisible(false);
        bar->setToolTip(QStringLiteral("A copy is running: click to show its progress"));
        bar->setCursor(Qt::PointingHandCursor);
        bar->installEventFilter(this);
    }
    connect(&idleTimer_, &QTimer::timeout, this, &CMainWindow::updateToolbar);
    idleTimer_.start(500);
    updateToolbar();
    Controls::setVisible(content(), QStringLiteral("fileInspector"),
                         Preferences::readSwitch(Preferences::Switch::ShowFileInspector));
    if (auto* panel = control(QStringLiteral("fileInspector")))
        inspector_ = std::make_unique<FileInspector>(panel);
}

void CMainWindow::routeNotifications() {
    auto& routes = notifications();
    const auto onClick = [&routes](const char* button, std::function<void()> action) {
        routes.on(NotificationType::Click, QLatin1String(button),
                  [action = std::move(action)](const Notification&) { action(); });
    };
    onClick("btnMenu", [this] {
        mainMenu_->popup(control(QStringLiteral("btnMenu")),
                         MenuPlacement::BelowRightExtendingLeft);
    });
    onClick("btnFeedback",
            [this] { TransferPrompts::openPage(this, QUrl(QString::fromLatin1(kFeedbackPage))); });
    onClick("btnViewstyle", [this] { openViewStyleMenu(); });
    onClick("btnShowTasks", [this] { fileCommands_->showTransferManager(); });
    onClick("btnBackward", [this] { goBack(); });
    onClick("btnForward", [this] { goForward(); });
    onClick("btnDownload", [this] { fileCommands_->download(); });
    onClick("btnUpload", [this] {
        importMenu_->popup(control(QStringLiteral("btnUpload")),
                           MenuPlacement::BelowLeftExtendingRight);
    });
    onClick("btnRefresh", [this] { refresh(); });
    onClick("btnDelete", [this] { fileCommands_->deleteSelection(); });
    onClick("btnDetails", [this] { showDetails(); });
    onClick("btnImportPhotos", [this] {
        if (currentNode_)
            fileCommands_->importNewPhotos(currentNode_);
    });
}

bool CMainWindow::startDeviceListening() {
    DeviceMonitor& monitor = DeviceMonitor::instance();
    // The one hand-off from the library's thread: each event becomes a call queued to the
    // user-interface thread, in order; there it is dropped if this window is gone by then.
    monitor.setDispatcher([window = QPointer<CMainWindow>(this)](std::function<void()> call) {
        QMetaObject::invokeMethod(
            qApp,
            [window, call = std::move(call)] {
                if (window)
                    call();
            },
            Qt::QueuedConnection);
    });
    monitor.setListener(this);
    try {
        monitor.startListening();
        return true;
    } catch (const CZelboString& text) {
        Log::instance().format(u"Failed to start listening: %s", text);
        return false;
    }
}

// --- Steps that talk to a device, and the device events that wait for them ---

void CMainWindow::runStep(QWidget* over, const std::function<void()>& step) {
    ++stepsRunning_;
    ::runDeviceStep(over ? over : this, step);
    --stepsRunning_;
    // Deferred events run once the operation that ran this step has finished.
    if (stepsRunning_ == 0 && !deferredEvents_.empty() && !replayQueued_) {
        replayQueued_ = true;
        QMetaObject::invokeMethod(this, &CMainWindow::replayDeviceEvents, Qt::QueuedConnection);
    }
}

bool CMainWindow::deferDeviceEvent(bool connected, const std::shared_ptr<AMDevice>& device) {
    if (stepsRunning_ == 0 && deferredEvents_.empty())
        return false;
    deferredEvents_.push_back({connected, device});
    if (stepsRunning_ == 0 && !replayQueued_) {
        replayQueued_ = true;
        QMetaObject::invokeMethod(this, &CMainWindow::replayDeviceEvents, Qt::QueuedConnection);
    }
    return true;
}

void CMainWindow::replayDeviceEvents() {
    replayQueued_ = false;
    while (stepsRunning_ == 0 && !deferredEvents_.empty()) {
        const DeviceEvent event = deferredEvents_.front();
        deferredEvents_.erase(deferredEvents_.begin());
        if (event.connected)
            addDevice(event.device);
        else
            removeDevice(event.device);
    }
}

void CMainWindow::onDeviceConnected(const std::shared_ptr<AMDevice>& device) {
    if (!deferDeviceEvent(true, device))
        addDevice(device);
}

void CMainWindow::onDeviceDisconnected(const std::shared_ptr<AMDevice>& device) {
    if (!deferDeviceEvent(false, device))
        removeDevice(device);
}

void CMainWindow::addDevice(const std::shared_ptr<AMDevice>& device) {
    const CZelboString identifier = device->uniqueDeviceID();
    const bool listed = std::any_of(devices_.begin(), devices_.end(), [&](const auto& node) {
        return node->device()->uniqueDeviceID() == identifier;
    });
    if (listed)
        return;
    const bool wasEmpty = devices_.empty();
    devices_.push_back(DeviceFileSystemNode::create(device));
    if (auto* pages = control<QStackedWidget>(QStringLiteral("mainSwitch")))
        pages->setCurrentIndex(1);
    if (!tree_)
        return;
    tree_->reload();
    if (wasEmpty && !tree_->deviceRows().empty())
        tree_->selectRow(tree_->deviceRows().front());
}

void CMainWindow::removeDevice(const std::shared_ptr<AMDevice>& device) {
    stopThumbnails();
    if (inspector_)
        inspector_->clear();
    listing_.showFolder(nullptr);
    if (list_)
        list_->hide();
    const auto found = std::find_if(devices_.begin(), devices_.end(),
                                    [&](const auto& node) { return node->device() == device; });
    const bool wasListed = found != devices_.end();
    if (wasListed)
        devices_.erase(found);
    if (currentNode_ && currentNode_->device() == device)
        currentNode_.reset();
    if (!devices_.empty()) {
        // The tree drops the gone device's rows before row 0 is chosen, so the gone device is
        // never shown again.
        if (wasListed && tree_) {
            tree_->reload();
            if (!tree_->deviceRows().empty())
                tree_->selectRow(tree_->deviceRows().front());
        }
        return;
    }
    if (auto* pages = control<QStackedWidget>(QStringLiteral("mainSwitch")))
        pages->setCurrentIndex(0);
    if (tree_) {
        tree_->selectRow(nullptr);
        tree_->reload();
    }
    writeStatus({});
}

// --- Navigation ---

void CMainWindow::rowSelected(DeviceTreeRow* selected, DeviceTreeRow* previous) {
    if (previous && previous != selected && previous->level == 0) {
        previous->background = TreeRowBackground::TopOpaque;
        tree_->redrawRow(previous);
    }
    if (!selected || !selected->node)
        return;
    auto* contents = control<QStackedWidget>(QStringLiteral("contentsSwitch"));
    if (selected->level == 0) {
        currentNode_ = selected->node;
        selected->background = TreeRowBackground::TopFocused;
        tree_->redrawRow(selected);
        listing_.showFolder(nullptr);
        if (list_)
            list_->hide();
        if (contents)
            contents->setCurrentIndex(0);
        fillDevicePanel(selected->node->device());
        return;
    }
    if (selected->node == currentNode_)
        return;
    if (contents)
        contents->setCurrentIndex(1);
    if (list_)
        list_->show();
    if (currentNode_ && currentNode_->isInsideArea() && !navigating_)
        history_.pushBack(historyEntryFor(currentNode_), true);
    showFolder(selected->node);
    if (selected->children.empty() && !treeSource_.hasChildren(selected))
        tree_->redrawRow(selected);
}

void CMainWindow::showFolder(const NodePointer& node) {
    // Shown again, a folder is listed again: the device may have changed it meanwhile. A listing
    // made just before (by the tree, say) serves.
    if (node->childrenLoaded() &&
        std::chrono::steady_clock::now() - node->listedAt() > kListingStaysFresh)
        node->clearChildren();
    currentNode_ = node;
    listing_.showFolder(node);
    if (list_)
        list_->reload();
}

void CMainWindow::goBack() {
    const HistoryEntry* top = history_.backTop();
    if (!top || !currentNode_ || top->deviceIdentifier != currentDeviceIdentifier())
        return;
    const NodePointer folder = findNode(top->displayPath);
    if (!folder)
        return;
    history_.pushForward(historyEntryFor(currentNode_));
    history_.popBack();
    navigating_ = true;
    selectRowOf(folder);
    navigating_ = false;
}

void CMainWindow::goForward() {
    const HistoryEntry* top = history_.forwardTop();
    if (!top)
        return;
    NodePointer folder;
    if (currentNode_ && top->deviceIdentifier == currentDeviceIdentifier())
        folder = findNode(top->displayPath);
    history_.popForward();
    if (currentNode_)
        history_.pushBack(historyEntryFor(currentNode_), false);
    if (!folder)
        return;
    navigating_ = true;
    selectRowOf(folder);
    navigating_ = false;
}

CMainWindow::NodePointer CMainWindow::findNode(const CZelboString& displayPath) {
    NodePointer folder;
    const NodePointer from = currentNode_;
    runStep(this, [&] {
        NodePointer found = from->nodeForPath(displayPath);
        if (found && found->isDirectory())
            folder = std::move(found);
    });
    return folder;
}

void CMainWindow::selectRowOf(const NodePointer& node) {
    if (!tree_)
        return;
    DeviceTreeRow* row = tree_->findRow(node.get());
    if (!row)
        return;
    std::vector<DeviceTreeRow*> above;
    for (DeviceTreeRow* parent = row->parent; parent && parent->level >= 0; parent = parent->parent)
        above.push_back(parent);
    for (auto ancestor = above.rbegin(); ancestor != above.rend(); ++ancestor)
        tree_->setExpanded(*ancestor, true);
    tree_->selectRow(row);
}

HistoryEntry CMainWindow::historyEntryFor(const NodePointer& node) const {
    return {node->device()->uniqueDeviceID(), node->displayPath()};
}

CZelboString CMainWindow::currentDeviceIdentifier() const {
    return currentNode_ ? currentNode_->device()->uniqueDeviceID() : CZelboString();
}

void CMainWindow::refresh() {
    if (currentNode_)
        folderContentsChanged(currentNode_);
}

void CMainWindow::goUp() {
    if (!currentNode_ || !currentNode_->isInsideArea())
        return;
    if (const NodePointer parent = currentNode_->parent())
        selectRowOf(parent);
}

void CMainWindow::folderContentsChanged(const NodePointer& folder) {
    if (!folder)
        return;
    runStep(list_, [&] { folder->loadChildren(); });
    if (tree_) {
        if (DeviceTreeRow* row = tree_->selectedRow()) {
            const bool expanded = row->expanded;
            tree_->rebuildChildren(row);
            if (expanded) {
                tree_->setExpanded(row, false);
                tree_->setExpanded(row, true);
            }
            tree_->redrawRow(row);
        }
    }
    if (folder == currentNode_) {
        listing_.reload();
        if (list_)
            list_->reload();
    }
}

bool CMainWindow::openDevicePath(const QString& displayPath) {
    if (devices_.empty() || !tree_ || tree_->deviceRows().empty())
        return false;
    const NodePointer device = devices_.front();
    const CZelboString path = toZelboString(displayPath);
    NodePointer target;
    runStep(this, [&] { target = device->nodeForPath(path); });
    if (!target)
        return false;
    std::vector<NodePointer> chain;
    for (NodePointer node = target; node; node = node->parent())
        chain.push_back(node);
    DeviceTreeRow* row = tree_->deviceRows().front();
    for (auto node = chain.rbegin(); node != chain.rend() && row; ++node) {
        tree_->setExpanded(row, true);
        DeviceTreeRow* child = tree_->childRow(row, node->get());
        // The apps' containers hang below "Applications", which their parent links skip.
        if (!child && row->level == 0) {
            for (const auto& area : row->children) {
                tree_->setExpanded(area.get(), true);
                if ((child = tree_->childRow(area.get(), node->get())))
                    break;
            }
        }
        row = child;
    }
    if (!row)
        return false;
    tree_->selectRow(row);
    return true;
}

void CMainWindow::updateToolbar() {
    const QWidget* root = content();
    const bool plainFolder = currentNode_ && currentNode_->acceptsNewItems();
    Controls::setEnabled(root, QStringLiteral("btnBackward"), history_.canGoBack());
    Controls::setEnabled(root, QStringLiteral("btnForward"), history_.canGoForward());
    Controls::setEnabled(root, QStringLiteral("btnDelete"), hasSelection_);
    Controls::setEnabled(root, QStringLiteral("btnRefresh"), currentNode_ != nullptr);
    Controls::setEnabled(root, QStringLiteral("btnDownload"), hasSelection_);
    Controls::setEnabled(root, QStringLiteral("btnUpload"), plainFolder);
}

// --- Menus ---

void CMainWindow::menuItemChosen(const QString& menuFile, const QString& itemName) {
    // Deferred: a dialog opened while the menu still closes would fight it for the input.
    QTimer::singleShot(0, this, [this, menuFile, itemName] { runMenuCommand(menuFile, itemName); });
}

void CMainWindow::runMenuCommand(const QString& menuFile, const QString& itemName) {
    const bool fileCommand =
        std::any_of(kFileMenuItems.begin(), kFileMenuItems.end(),
                    [&](const char* item) { return itemName == QLatin1String(item); });
    if (fileCommand && (menuFile == kFileMenu || menuFile == kImportMenu)) {
        runFileCommand(itemName);
    } else if (menuFile == kViewStyleMenu) {
        chooseViewStyle(itemName);
    } else if (menuFile != kMainMenu) {
        return;
    } else if (itemName == QStringLiteral("mmPreferences")) {
        showPreferences();
    } else if (itemName == QStringLiteral("mmCheckUpdates")) {
        updateChecker_->check();
    } else if (itemName == QStringLiteral("mmAbout")) {
        CAboutDialog(this).exec();
    } else if (itemName == QStringLiteral("mmWebsite")) {
        TransferPrompts::openPage(this, QUrl(QString::fromLatin1(kWebsite)));
    }
}

void CMainWindow::runFileCommand(const QString& itemName) {
    FileCommands& commands = *fileCommands_;
    if (itemName == QStringLiteral("download"))
        commands.download();
    else if (itemName == QStringLiteral("rename"))
        commands.rename();
    else if (itemName == QStringLiteral("delete"))
        commands.deleteSelection();
    else if (itemName == QStringLiteral("uploadFiles"))
        commands.uploadFiles();
    else if (itemName == QStringLiteral("uploadDirectory"))
        commands.uploadDirectory();
    else if (itemName == QStringLiteral("newfolder"))
        commands.newFolder();
}

void CMainWindow::openViewStyleMenu() {
    const ViewStyle stored =
        viewStyleFromCode(Preferences::readViewStyle()).value_or(ViewStyle::Details);
    for (const ViewStyle style : kViewStyles)
        viewStyleMenu_->setItemChecked(viewStyleMenuItem(style), style == stored);
    viewStyleMenu_->popup(control(QStringLiteral("btnViewstyle")),
                          MenuPlacement::BelowRightExtendingLeft);
}

void CMainWindow::chooseViewStyle(const QString& itemName) {
    const std::optional<ViewStyle> style = viewStyleFromMenuItem(itemName);
    if (!style)
        return;
    showViewStyle(*style);
    Preferences::writeViewStyle(static_cast<std::uint32_t>(*style));
}

void CMainWindow::showViewStyle(ViewStyle style) {
    if (list_ && list_->viewStyle() != static_cast<std::uint32_t>(style)) {
        list_->setViewStyle(static_cast<std::uint32_t>(style));
        thumbnails_->viewStyleChanged(style);
    }
    if (auto* button = control<QAbstractButton>(QStringLiteral("btnViewstyle")))
        button->setIcon(QIcon(viewStyleGlyph(style)));
}

void CMainWindow::showPreferences() {
    DiskThumbnailCacheStore cache;
    CPreferencesDialog* dialog = nullptr;
    const auto underBusyIndicator = [&dialog](const std::function<void()>& clearStep) {
        runUnderBusyIndicator(dialog, QColor::fromRgba(0xEF454545), true, QRect(0, 0, 50, 50),
                              clearStep);
    };
    const bool madeThumbnails = Preferences::readSwitch(Preferences::Switch::GenerateThumbnail);
    CPreferencesDialog preferences(this, cache, underBusyIndicator);
    dialog = &preferences;
    if (preferences.exec() != 1)
        return;
    Controls::setVisible(content(), QStringLiteral("fileInspector"),
                         Preferences::readSwitch(Preferences::Switch::ShowFileInspector));
    // Thumbnails turned on again are made for the folder shown at once.
    if (!madeThumbnails && Preferences::readSwitch(Preferences::Switch::GenerateThumbnail) && list_)
        list_->reload();
}

void CMainWindow::showDetails() {
    if (!currentNode_)
        return;
    const std::shared_ptr<AMDevice> device = currentNode_->device();
    runStep(this, [&] { device->information(); });
    CDetailsDialog(this, device->information()).exec();
}

void CMainWindow::fillDevicePanel(const std::shared_ptr<AMDevice>& device) {
    DevicePanelFacts facts;
    runStep(this, [&] { facts = readDevicePanelFacts(*device); });
    showDevicePanel(control(QStringLiteral("pageDevice")), facts);
}

void CMainWindow::writeStatus(const QString& markup) {
    if (auto* status = control<QLabel>(QStringLiteral("statusBar")))
        SkinMarkup::show(status, markup);
}

// --- The file list's data source ---

int CMainWindow::columnCount() {
    return kListColumnCount;
}

QString CMainWindow::columnTitle(int column) {
    return QString::fromUtf16(listColumnHeader(column));
}

int CMainWindow::columnWidth(int column) {
    return listColumnWidth(column);
}

int CMainWindow::itemCount() {
    if (!listing_.folder())
        return 0;
    if (std::exchange(listChildrenAgain_, false))
        listing_.folder()->loadChildren();
    return static_cast<int>(listing_.entries().size());
}

QString CMainWindow::text(int item, int column) {
    const auto& entries = listing_.entries();
    if (column == static_cast<int>(ListColumn::ModifiedDate) && item >= 0 &&
        static_cast<std::size_t>(item) < entries.size())
        return localDateText(entries[static_cast<std::size_t>(item)]->modificationTime());
    return toQString(listing_.cellText(item, column));
}

bool CMainWindow::isFolder(int item) {
    return listing_.isFolder(item);
}

QIcon CMainWindow::icon(int item) {
    const auto& entries = listing_.entries();
    if (item < 0 || static_cast<std::size_t>(item) >= entries.size())
        return {};
    return fileTypes_.icon(toQString(entries[static_cast<std::size_t>(item)]->name()),
                           listing_.isFolder(item));
}

int CMainWindow::sortColumn() {
    return listing_.sortColumn();
}

bool CMainWindow::sortAscending() {
    return listing_.sortAscending();
}

QMimeData* CMainWindow::dragData(const QList<int>& items) {
    const auto& entries = listing_.entries();
    std::vector<NodePointer> nodes;
    for (const int item : items) {
        if (item >= 0 && static_cast<std::size_t>(item) < entries.size())
            nodes.push_back(entries[static_cast<std::size_t>(item)]);
    }
    if (nodes.empty())
        return nullptr;
    // The window outlives every drag it starts: a drag runs inside the press that began it.
    // A target saving directly takes one name: several items go as a uri-list only.
    return new DeviceItemsMimeData(
        [this, nodes](const QString& folder) {
            return fileCommands_->downloadForDrag(nodes, folder);
        },
        nodes.size() == 1 ? FileCommands::downloadedName(nodes.front()) : QString());
}

// --- The file list's delegate ---

void CMainWindow::rightClick(int item, QPoint globalPosition) {
    if (!fileMenu_->isValid())
        return;
    const auto& entries = listing_.entries();
    const bool onItem = item >= 0 && static_cast<std::size_t>(item) < entries.size();
    const bool removable = onItem && entries[static_cast<std::size_t>(item)]->canRemoveOrRename();
    const bool acceptsNewItems = currentNode_ && currentNode_->acceptsNewItems();
    const bool oneSelected = list_ && list_->selectedItems().size() == 1;
    fileMenu_->setItemEnabled(QStringLiteral("download"), onItem);
    fileMenu_->setItemEnabled(QStringLiteral("delete"), removable);
    fileMenu_->setItemEnabled(QStringLiteral("newfolder"), acceptsNewItems);
    fileMenu_->setItemEnabled(QStringLiteral("uploadFiles"), acceptsNewItems);
    fileMenu_->setItemEnabled(QStringLiteral("uploadDirectory"), acceptsNewItems);
    fileMenu_->setItemEnabled(QStringLiteral("rename"), removable && oneSelected);
    fileMenu_->popupAt(globalPosition);
}

void CMainWindow::itemChanged(int item) {
    hasSelection_ = item >= 0;
    const auto& entries = listing_.entries();
    showInInspector(item);
    if (item >= 0 && list_ && list_->selectedItems().size() > 1) {
        writeStatus(selectionSummary());
        return;
    }
    if (item >= 0 && static_cast<std::size_t>(item) < entries.size()) {
        FileSystemNode& node = *entries[static_cast<std::size_t>(item)];
        const bool folder = listing_.isFolder(item);
        const QString type = toQString(PlatformFileTypes::typeName(node.pathComponent(), folder));
        QString markup = folder ? QStringLiteral("<b>%1</b><x 20><i>Create On:</i><x 4>").arg(type)
                                : QStringLiteral(
                                      "<b>%1</b><x 20><i>Size:</i><x 4><b>%2</b><x 20>"
                                      "<i>Create On:</i><x 4>")
                                      .arg(type, toQString(formatByteSize(node.fileSize())));
        const QString created = localDateText(node.creationTime());
        writeStatus(markup + QStringLiteral("<b>") + created + QStringLiteral("</b>"));
        return;
    }
    if (entries.empty()) {
        writeStatus({});
        return;
    }
    const std::size_t count = entries.size();
    writeStatus(
        QStringLiteral("%1 Item%2").arg(count).arg(count == 1 ? QString() : QStringLiteral("s")));
}

QString CMainWindow::selectionSummary() {
    const QList<int> rows = list_->selectedItems();
    const auto& entries = listing_.entries();
    int64_t bytes = 0;
    int folders = 0;
    for (const int row : rows) {
        if (row < 0 || static_cast<std::size_t>(row) >= entries.size())
            continue;
        if (listing_.isFolder(row))
            ++folders;
        else
            bytes += std::max<int64_t>(entries[static_cast<std::size_t>(row)]->fileSize(), 0);
    }
    QString markup = QStringLiteral("%1 Selected").arg(rows.size());
    // Folders' contents are not counted: their size would take a walk of the device.
    if (folders < rows.size())
        markup += QStringLiteral("<x 20><i>Size:</i><x 4><b>%1</b>")
                      .arg(toQString(formatByteSize(bytes)));
    return markup;
}

void CMainWindow::showInInspector(int item) {
    if (!inspector_)
        return;
    const auto& entries = listing_.entries();
    const bool oneItem = item >= 0 && static_cast<std::size_t>(item) < entries.size() &&
                         !(list_ && list_->selectedItems().size() > 1);
    if (oneItem)
        inspector_->show(entries[static_cast<std::size_t>(item)], listing_.isFolder(item));
    else
        inspector_->clear();
}

void CMainWindow::doubleClick(int item) {
    const auto& entries = listing_.entries();
    if (!tree_ || !listing_.isFolder(item))
        return;
    DeviceTreeRow* row = tree_->selectedRow();
    if (!row)
        return;
    const NodePointer folder = entries[static_cast<std::size_t>(item)];
    tree_->setExpanded(row, true);
    if (DeviceTreeRow* child = tree_->childRow(row, folder.get()))
        tree_->selectRow(child);
}

void CMainWindow::filesDroppedOnRow(DeviceTreeRow& row, const QStringList& paths) {
    fileCommands_->uploadDropped(paths, row.node);
}

void CMainWindow::filesDropped(const QStringList& paths, QPoint position) {
    // Onto a folder item, into that folder; anywhere else, into the folder shown.
    const int item = list_ ? list_->itemAt(position) : -1;
    const auto& entries = listing_.entries();
    const NodePointer target = item >= 0 && listing_.isFolder(item)
                                   ? entries[static_cast<std::size_t>(item)]
                                   : currentNode_;
    fileCommands_->uploadDropped(paths, target);
}

void CMainWindow::headerClicked(int column) {
    listing_.headerClicked(column);
    Preferences::writeSortOrder({listing_.sortColumn(), listing_.sortAscending()});
    if (!list_)
        return;
    list_->redrawHeader();
    list_->reload();
}

// --- The device tree's delegate ---

void CMainWindow::expandingRows(int count) {
    writeStatus(QStringLiteral("Expanding %1 items...").arg(count));
}

void CMainWindow::rowsExpanded() {
    // Back to what the status line said about the list.
    const QList<int> rows = list_ ? list_->selectedItems() : QList<int>();
    itemChanged(rows.isEmpty() ? -1 : rows.front());
}
