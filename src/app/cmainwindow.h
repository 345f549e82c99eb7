#pragma once

#include <QStringList>
#include <QTimer>
#include <memory>
#include <vector>

#include "app/devicestepgate.h"
#include "app/devicetreesource.h"
#include "app/navigationhistory.h"
#include "app/treeviewdatasource.h"
#include "app/viewstyle.h"
#include "device/mobiledeviceaccesslistener.h"
#include "fstree/folderlisting.h"
#include "ui/skinnedwindow.h"

class AMDevice;
class CListviewControl;
class FileCommands;
class DeviceTreeControl;
class FileInspector;
class FileListSource;
class LayoutLoader;
class ListingInfoFiller;
class ListThumbnails;
class MainWindowMenus;

namespace ZelboLib {
class DeviceFileSystemNode;
class FileSystemNode;
}  // namespace ZelboLib

/**
 * The program's one main window ("mainwindow.xml"). It owns the attached devices' node trees and
 * the navigation state (the folder shown, back and forward history), feeds the device tree (the
 * file list is fed by its FileListSource), routes every button and device event to its handler
 * (the menus' items are MainWindowMenus's, the file commands FileCommands's), keeps the toolbar's
 * enabling and writes the status line.
 *
 * Device events reach it on the user-interface thread, in order. Every step that may talk to a
 * device (listing a folder, counting subfolders, reading disk figures) runs on a worker under the
 * busy indicator while the window keeps painting from cached texts; device events that arrive
 * meanwhile wait until the step has ended. A folder's rows show once its names are listed; the
 * information of the rest arrives from a ListingInfoFiller, its rows filling in and the order
 * settling once everything is known.
 */
class CMainWindow : public SkinnedWindow,
                    public MobileDeviceAccessListener,
                    public TreeviewDelegate {
    Q_OBJECT
public:
    using NodePointer = std::shared_ptr<ZelboLib::FileSystemNode>;

    explicit CMainWindow(LayoutLoader& loader, QWidget* parent = nullptr);
    ~CMainWindow() override;

    /**
     * Makes this window the device monitor's listener and starts listening; when that cannot
     * start, logs "Failed to start listening: %s" and goes on without devices.
     */
    bool startDeviceListening();

    void onDeviceConnected(const std::shared_ptr<AMDevice>& device) override;
    void onDeviceDisconnected(const std::shared_ptr<AMDevice>& device) override;

    /** The attached devices' top nodes, in arrival order. */
    const std::vector<std::shared_ptr<ZelboLib::DeviceFileSystemNode>>& devices() const {
        return devices_;
    }
    /** The device, area or folder shown; null before the first selection. */
    const NodePointer& currentNode() const { return currentNode_; }
    const NavigationHistory& history() const { return history_; }

    void goBack();
    void goForward();
    /** Shows the folder that holds the folder shown (inside an area). */
    void goUp();
    /** Lists the folder shown again, from the device. */
    void refresh();
    /** Shows the style of a view-style menu item, storing it and changing the button's glyph. */
    void chooseViewStyle(const QString& itemName);
    /** Shows style in the list and on the view-style button, without storing it. */
    void showViewStyle(ViewStyle style);
    /**
     * Shows the folder at displayPath ("/Media/DCIM") of the first device, expanding the tree rows
     * on the way; false when there is no such folder.
     */
    bool openDevicePath(const QString& displayPath);
    /**
     * After an upload or a new folder in folder: lists it again, rebuilds the selected tree row's
     * children and reloads the list when folder is shown.
     */
    void folderContentsChanged(const NodePointer& folder);
    /** Recomputes the toolbar's enabling (every 500 ms by itself). */
    void updateToolbar();
    /** Whether the information of the folder shown is still arriving. */
    bool isFillingListing() const;

    /** The list's selected items, in list order. */
    std::vector<NodePointer> selectedNodes();
    std::vector<int> selectedRows() const;
    /** Selects only the list's item of that name (after a rename or a new folder), if shown. */
    void selectItemNamed(const CZelboString& name);
    /** Where uploads go: the first selected item when it is a folder, else the folder shown. */
    NodePointer uploadTarget();
    /** Runs a step that talks to the device on a worker, under the busy indicator. */
    void runDeviceStep(const std::function<void()>& step);
    /** Stops making thumbnails for the list (before its items are deleted, say). */
    void stopThumbnails();
    /** Ends a running transfer before the program quits, waiting for its worker. */
    void shutdownTransfers();
    /**
     * Shows a copy running with its window hidden in the status line, percent done; nothing hides
     * it. A click on it brings the copy's window back.
     */
    void showTransferProgress(std::optional<int> percent);
    FileCommands& fileCommands() { return *fileCommands_; }
    MainWindowMenus& menus() { return *menus_; }
    /** Opens the preferences dialog and applies what it changed. */
    void showPreferences();
    /** The file list's items and what the list reports. */
    FileListSource& fileList() { return *fileList_; }
    /** Writes the status line, in the skin's markup. */
    void writeStatus(const QString& markup);

    // The device tree's delegate.
    void rowSelected(DeviceTreeRow* selected, DeviceTreeRow* previous) override;
    void filesDroppedOnRow(DeviceTreeRow& row, const QStringList& paths) override;
    void expandingRows(int count) override;
    void rowsExpanded() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void initialiseControls();
    void routeNotifications();
    void addDevice(const std::shared_ptr<AMDevice>& device);
    void removeDevice(const std::shared_ptr<AMDevice>& device);

    void fillDevicePanel(const std::shared_ptr<AMDevice>& device);
    void showFolder(const NodePointer& node);
    /** Fetches the information the listing's rows lack, in the background. */
    void fillListing();
    void listingFactsLanded(const std::vector<ZelboLib::NodeFacts>& facts, bool last);
    void selectRowOf(const NodePointer& node);
    NodePointer findNode(const CZelboString& displayPath);
    HistoryEntry historyEntryFor(const NodePointer& node) const;
    CZelboString currentDeviceIdentifier() const;

    void showDetails();

    std::vector<std::shared_ptr<ZelboLib::DeviceFileSystemNode>> devices_;
    NodePointer currentNode_;
    FolderListing listing_;
    NavigationHistory history_;
    bool navigating_ = false;

    DeviceStepGate stepGate_;
    DeviceTreeSource treeSource_{devices_};

    CListviewControl* list_ = nullptr;
    // Makes the list's thumbnails on threads of its own, joined before listing_ goes.
    std::unique_ptr<ListThumbnails> thumbnails_;
    // The panel beside the list; its thumbnail threads are joined when it goes.
    std::unique_ptr<FileInspector> inspector_;
    std::unique_ptr<FileListSource> fileList_;
    DeviceTreeControl* tree_ = nullptr;
    std::unique_ptr<MainWindowMenus> menus_;
    std::unique_ptr<FileCommands> fileCommands_;
    // Feeds listing_ from its worker, joined before listing_ goes.
    std::unique_ptr<ListingInfoFiller> listingFiller_;
    QTimer idleTimer_;
};
