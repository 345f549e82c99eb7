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
#include <chrono>

#include "app/busystep.h"
#include "app/ccapacitycontrol.h"
#include "app/cdetailsdialog.h"
#include "app/cimagewellui.h"
#include "app/clabelexui.h"
#include "app/clistviewcontrol.h"
#include "app/cpreferencesdialog.h"
#include "app/devicepanel.h"
#include "app/devicestepgate.h"
#include "app/devicetreecontrol.h"
#include "app/diskthumbnailcachestore.h"
#include "app/filecommands.h"
#include "app/fileinspector.h"
#include "app/filelistsource.h"
#include "app/listinginfofiller.h"
#include "app/listthumbnails.h"
#include "app/log.h"
#include "app/mainwindowkeys.h"
#include "app/mainwindowmenus.h"
#include "app/platformfiletypes.h"
#include "app/preferences.h"
#include "app/qtextconversion.h"
#include "app/viewstyle.h"
#include "device/amdevice.h"
#include "device/devicemonitor.h"
#include "fstree/devicefilesystemnode.h"
#include "transfer/ui/transferprompts.h"
#include "ui/layoutloader.h"
#include "ui/skinmarkup.h"

using ZelboLib::DeviceFileSystemNode;

namespace {

// The maker's feedback page, opened by the title bar's button.
const char* const kFeedbackPage = "https://orvane.example/plovik/feedback";

// The widths the tree and the inspector start with.
constexpr int kTreeWidth = 230;
constexpr int kInspectorWidth = 220;

// How long a folder's listing is shown again as it is, before the folder is listed again.
constexpr std::chrono::seconds kListingStaysFresh{1};

}  // namespace

CMainWindow::CMainWindow(LayoutLoader& loader, QWidget* parent)
    : SkinnedWindow(parent),
      listing_(&PlatformFileTypes::typeName),
      stepGate_(
          *this, [this] { listingFiller_->deliver(); },
          [this](bool connected, const std::shared_ptr<AMDevice>& device) {
              if (connected)
                  addDevice(device);
              else
                  removeDevice(device);
          }) {
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

    menus_ = std::make_unique<MainWindowMenus>(*this);

    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    fileCommands_ =
        std::make_unique<FileCommands>(*this, dataFolder + QStringLiteral("/transfers.sqlite"));
    listingFiller_ =
        std::make_unique<ListingInfoFiller>([this](const std::vector<ZelboLib::NodeFacts>& facts,
                                                   bool last) { listingFactsLanded(facts, last); },
                                            // A step may be building the listing on its worker.
                                            [this] { return !stepGate_.isRunningStep(); }, this);
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
    listingFiller_.reset();
    // The list, a child, outlives the members: it must not ask the source once it is gone.
    if (list_) {
        list_->setDelegate(nullptr);
        list_->setDataSource(nullptr);
    }
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
    stepGate_.runStep(list_, step);
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
        stepGate_.runStep(over, step);
    };
    if (auto* panel = control(QStringLiteral("fileInspector")))
        inspector_ = std::make_unique<FileInspector>(panel);
    fileList_ = std::make_unique<FileListSource>(*this, listing_, menus_->fileMenu(), list_, tree_,
                                                 inspector_.get());
    if (list_) {
        // The Delete key deletes the selection, refusing what cannot be removed as the menu does.
        auto* deleteKey = new QShortcut(QKeySequence::Delete, list_);
        deleteKey->setContext(Qt::WidgetWithChildrenShortcut);
        connect(deleteKey, &QShortcut::activated, this,
                [this] { fileCommands_->deleteSelection(); });
        list_->setDataSource(fileList_.get());
        list_->setDelegate(fileList_.get());
        list_->setStepRunner(runner);
        const auto fileOfItem = [this](int item) -> NodePointer {
            const auto& entries = listing_.entries();
            // A row whose type is not known yet is asked for again once it is.
            if (!listing_.facts(item) || listing_.isFolder(item))
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
}

void CMainWindow::routeNotifications() {
    auto& routes = notifications();
    const auto onClick = [&routes](const char* button, std::function<void()> action) {
        routes.on(NotificationType::Click, QLatin1String(button),
                  [action = std::move(action)](const Notification&) { action(); });
    };
    onClick("btnMenu", [this] { menus_->popupMainMenu(control(QStringLiteral("btnMenu"))); });
    onClick("btnFeedback",
            [this] { TransferPrompts::openPage(this, QUrl(QString::fromLatin1(kFeedbackPage))); });
    onClick("btnViewstyle",
            [this] { menus_->popupViewStyleMenu(control(QStringLiteral("btnViewstyle"))); });
    onClick("btnShowTasks", [this] { fileCommands_->showTransferManager(); });
    onClick("btnBackward", [this] { goBack(); });
    onClick("btnForward", [this] { goForward(); });
    onClick("btnDownload", [this] { fileCommands_->download(); });
    onClick("btnUpload", [this] { menus_->popupImportMenu(control(QStringLiteral("btnUpload"))); });
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

// --- Device events ---

void CMainWindow::onDeviceConnected(const std::shared_ptr<AMDevice>& device) {
    stepGate_.deviceEvent(true, device);
}

void CMainWindow::onDeviceDisconnected(const std::shared_ptr<AMDevice>& device) {
    stepGate_.deviceEvent(false, device);
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
    listingFiller_->stop();
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
        listingFiller_->stop();
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
    listingFiller_->stop();
    listing_.showFolder(node);
    if (list_)
        list_->reload();
    fillListing();
}

void CMainWindow::fillListing() {
    if (listing_.folder())
        listingFiller_->fill(listing_.folder(), listing_.entriesWantingFacts());
}

bool CMainWindow::isFillingListing() const {
    return listingFiller_->isFilling();
}

void CMainWindow::listingFactsLanded(const std::vector<ZelboLib::NodeFacts>& facts, bool last) {
    const std::vector<int> changed = listing_.learnFacts(facts);
    if (list_)
        list_->itemsChanged(changed);
    if (last) {
        const std::vector<int> moved = listing_.settleOrder();
        if (list_ && !moved.empty())
            list_->itemsMoved(moved);
        // Every type known: a folder of files alone loses its expander.
        if (DeviceTreeRow* row = tree_ ? tree_->selectedRow() : nullptr;
            row && row->node == currentNode_)
            tree_->redrawRow(row);
    }
    if (fileList_->hasSelection())
        fileList_->describeSelection();
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
    stepGate_.runStep(this, [&] {
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
    const bool shown = folder == currentNode_;
    if (shown)
        listingFiller_->stop();
    stepGate_.runStep(list_, [&] { folder->loadChildren(ZelboLib::EntryInfo::WhenAsked); });
    // The list first: its listing learns the types the tree row's expander is decided from.
    if (shown) {
        listing_.reload();
        if (list_)
            list_->reload();
    }
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
    if (shown)
        fillListing();
}

bool CMainWindow::openDevicePath(const QString& displayPath) {
    if (devices_.empty() || !tree_ || tree_->deviceRows().empty())
        return false;
    const NodePointer device = devices_.front();
    const CZelboString path = toZelboString(displayPath);
    NodePointer target;
    stepGate_.runStep(this, [&] { target = device->nodeForPath(path); });
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
    Controls::setEnabled(root, QStringLiteral("btnDelete"), fileList_->hasSelection());
    Controls::setEnabled(root, QStringLiteral("btnRefresh"), currentNode_ != nullptr);
    Controls::setEnabled(root, QStringLiteral("btnDownload"), fileList_->hasSelection());
    Controls::setEnabled(root, QStringLiteral("btnUpload"), plainFolder);
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
    stepGate_.runStep(this, [&] { device->information(); });
    CDetailsDialog(this, device->information()).exec();
}

void CMainWindow::fillDevicePanel(const std::shared_ptr<AMDevice>& device) {
    DevicePanelFacts facts;
    stepGate_.runStep(this, [&] { facts = readDevicePanelFacts(*device); });
    showDevicePanel(control(QStringLiteral("pageDevice")), facts);
}

void CMainWindow::writeStatus(const QString& markup) {
    if (auto* status = control<QLabel>(QStringLiteral("statusBar")))
        SkinMarkup::show(status, markup);
}

// --- The device tree's delegate ---

void CMainWindow::expandingRows(int count) {
    writeStatus(QStringLiteral("Expanding %1 items...").arg(count));
}

void CMainWindow::rowsExpanded() {
    // Back to what the status line said about the list.
    fileList_->describeSelection();
}

void CMainWindow::filesDroppedOnRow(DeviceTreeRow& row, const QStringList& paths) {
    fileCommands_->uploadDropped(paths, row.node);
}
