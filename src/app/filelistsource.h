#pragma once

#include <memory>

#include "app/listviewdatasource.h"
#include "app/listviewdelegate.h"
#include "app/platformfiletypes.h"

class CListviewControl;
class CMainWindow;
class DeviceTreeControl;
class FileInspector;
class FolderListing;
class PopupMenu;

namespace ZelboLib {
class FileSystemNode;
}

/**
 * The file list's items and what becomes of the list's reports. It answers the list from the
 * listing of the folder shown (texts, icons, the sort mark, drag data) and acts on its clicks,
 * drops and selection: the file menu, uploads into a folder item, the sort order, the status
 * line's description of the selection and the inspector.
 */
class FileListSource : public ListviewDataSource, public ListviewDelegate {
public:
    using NodePointer = std::shared_ptr<ZelboLib::FileSystemNode>;

    /**
     * The window gives the folder shown, the file commands and the status line; list, tree and
     * inspector may be absent. All must outlive the source.
     */
    FileListSource(CMainWindow& window, FolderListing& listing, PopupMenu& fileMenu,
                   CListviewControl* list, DeviceTreeControl* tree, FileInspector* inspector);

    /** Whether the list last reported an item selected. */
    bool hasSelection() const { return hasSelection_; }
    /** The status line and the inspector for the list's selection as it is. */
    void describeSelection();

    int columnCount() override;
    QString columnTitle(int column) override;
    int columnWidth(int column) override;
    int itemCount() override;
    QString text(int item, int column) override;
    bool isFolder(int item) override;
    QIcon icon(int item) override;
    int sortColumn() override;
    bool sortAscending() override;
    QMimeData* dragData(const QList<int>& items) override;

    void rightClick(int item, QPoint globalPosition) override;
    void itemChanged(int item) override;
    /** Opens a folder item: its row below the selected tree row is selected. */
    void doubleClick(int item) override;
    void filesDropped(const QStringList& paths, QPoint position) override;
    void headerClicked(int column) override;

private:
    /** Shows the list's item in the inspector when it is the only one selected, else empties it. */
    void showInInspector(int item);
    /** The status line's text for several selected items: their count and the files' size. */
    QString selectionSummary();

    CMainWindow& window_;
    FolderListing& listing_;
    PopupMenu& fileMenu_;
    CListviewControl* list_;
    DeviceTreeControl* tree_;
    FileInspector* inspector_;
    PlatformFileTypes fileTypes_;
    bool hasSelection_ = false;
};
