#include "app/filelistsource.h"

#include <algorithm>

#include "app/clistviewcontrol.h"
#include "app/cmainwindow.h"
#include "app/deviceitemsmimedata.h"
#include "app/devicetreecontrol.h"
#include "app/filecommands.h"
#include "app/fileinspector.h"
#include "app/preferences.h"
#include "app/qtextconversion.h"
#include "fstree/folderlisting.h"
#include "fstree/listcolumns.h"
#include "ui/localdatetext.h"
#include "ui/popupmenu.h"
#include "values/bytesize.h"

using ZelboLib::FileSystemNode;

FileListSource::FileListSource(CMainWindow& window, FolderListing& listing, PopupMenu& fileMenu,
                               CListviewControl* list, DeviceTreeControl* tree,
                               FileInspector* inspector)
    : window_(window),
      listing_(listing),
      fileMenu_(fileMenu),
      list_(list),
      tree_(tree),
      inspector_(inspector) {}

void FileListSource::describeSelection() {
    const QList<int> rows = list_ ? list_->selectedItems() : QList<int>();
    itemChanged(rows.isEmpty() ? -1 : rows.front());
}

// --- The file list's data source ---

int FileListSource::columnCount() {
    return kListColumnCount;
}

QString FileListSource::columnTitle(int column) {
    return QString::fromUtf16(listColumnHeader(column));
}

int FileListSource::columnWidth(int column) {
    return listColumnWidth(column);
}

int FileListSource::itemCount() {
    if (!listing_.folder())
        return 0;
    return static_cast<int>(listing_.entries().size());
}

QString FileListSource::text(int item, int column) {
    if (column == static_cast<int>(ListColumn::ModifiedDate)) {
        const ZelboLib::EntryFacts* facts = listing_.facts(item);
        return facts ? localDateText(facts->modificationTime) : QString();
    }
    return toQString(listing_.cellText(item, column));
}

bool FileListSource::isFolder(int item) {
    return listing_.isFolder(item);
}

QIcon FileListSource::icon(int item) {
    const auto& entries = listing_.entries();
    if (item < 0 || static_cast<std::size_t>(item) >= entries.size())
        return {};
    return fileTypes_.icon(toQString(entries[static_cast<std::size_t>(item)]->name()),
                           listing_.isFolder(item));
}

int FileListSource::sortColumn() {
    return listing_.sortColumn();
}

bool FileListSource::sortAscending() {
    return listing_.sortAscending();
}

QMimeData* FileListSource::dragData(const QList<int>& items) {
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
        [&commands = window_.fileCommands(), nodes](const QString& folder) {
            return commands.downloadForDrag(nodes, folder);
        },
        nodes.size() == 1 ? FileCommands::downloadedName(nodes.front()) : QString());
}

// --- The file list's delegate ---

void FileListSource::rightClick(int item, QPoint globalPosition) {
    if (!fileMenu_.isValid())
        return;
    const auto& entries = listing_.entries();
    const bool onItem = item >= 0 && static_cast<std::size_t>(item) < entries.size();
    const bool removable = onItem && entries[static_cast<std::size_t>(item)]->canRemoveOrRename();
    const bool acceptsNewItems = window_.currentNode() && window_.currentNode()->acceptsNewItems();
    const bool oneSelected = list_ && list_->selectedItems().size() == 1;
    fileMenu_.setItemEnabled(QStringLiteral("download"), onItem);
    fileMenu_.setItemEnabled(QStringLiteral("delete"), removable);
    fileMenu_.setItemEnabled(QStringLiteral("newfolder"), acceptsNewItems);
    fileMenu_.setItemEnabled(QStringLiteral("uploadFiles"), acceptsNewItems);
    fileMenu_.setItemEnabled(QStringLiteral("uploadDirectory"), acceptsNewItems);
    fileMenu_.setItemEnabled(QStringLiteral("rename"), removable && oneSelected);
    fileMenu_.popupAt(globalPosition);
}

void FileListSource::itemChanged(int item) {
    hasSelection_ = item >= 0;
    const auto& entries = listing_.entries();
    showInInspector(item);
    if (item >= 0 && list_ && list_->selectedItems().size() > 1) {
        window_.writeStatus(selectionSummary());
        return;
    }
    if (item >= 0 && static_cast<std::size_t>(item) < entries.size()) {
        const ZelboLib::EntryFacts* facts = listing_.facts(item);
        // Described once its information has arrived.
        if (!facts) {
            window_.writeStatus({});
            return;
        }
        const FileSystemNode& node = *entries[static_cast<std::size_t>(item)];
        const bool folder = facts->isFolder;
        const QString type = toQString(PlatformFileTypes::typeName(node.pathComponent(), folder));
        QString markup = folder ? QStringLiteral("<b>%1</b><x 20><i>Create On:</i><x 4>").arg(type)
                                : QStringLiteral(
                                      "<b>%1</b><x 20><i>Size:</i><x 4><b>%2</b><x 20>"
                                      "<i>Create On:</i><x 4>")
                                      .arg(type, toQString(formatByteSize(facts->size)));
        const QString created = localDateText(facts->creationTime);
        window_.writeStatus(markup + QStringLiteral("<b>") + created + QStringLiteral("</b>"));
        return;
    }
    if (entries.empty()) {
        window_.writeStatus({});
        return;
    }
    const std::size_t count = entries.size();
    window_.writeStatus(
        QStringLiteral("%1 Item%2").arg(count).arg(count == 1 ? QString() : QStringLiteral("s")));
}

QString FileListSource::selectionSummary() {
    const QList<int> rows = list_->selectedItems();
    int64_t bytes = 0;
    int folders = 0;
    for (const int row : rows) {
        // Rows whose information has not arrived count once it has.
        const ZelboLib::EntryFacts* facts = listing_.facts(row);
        if (!facts)
            continue;
        if (facts->isFolder)
            ++folders;
        else
            bytes += std::max<int64_t>(facts->size, 0);
    }
    QString markup = QStringLiteral("%1 Selected").arg(rows.size());
    // Folders' contents are not counted: their size would take a walk of the device.
    if (folders < rows.size())
        markup += QStringLiteral("<x 20><i>Size:</i><x 4><b>%1</b>")
                      .arg(toQString(formatByteSize(bytes)));
    return markup;
}

void FileListSource::showInInspector(int item) {
    if (!inspector_)
        return;
    const auto& entries = listing_.entries();
    // A row whose information has not arrived is shown once it has.
    const bool oneItem =
        listing_.facts(item) != nullptr && !(list_ && list_->selectedItems().size() > 1);
    if (oneItem)
        inspector_->show(entries[static_cast<std::size_t>(item)], listing_.isFolder(item));
    else
        inspector_->clear();
}

void FileListSource::doubleClick(int item) {
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

void FileListSource::filesDropped(const QStringList& paths, QPoint position) {
    // Onto a folder item, into that folder; anywhere else, into the folder shown.
    const int item = list_ ? list_->itemAt(position) : -1;
    const auto& entries = listing_.entries();
    const NodePointer target = item >= 0 && listing_.isFolder(item)
                                   ? entries[static_cast<std::size_t>(item)]
                                   : window_.currentNode();
    window_.fileCommands().uploadDropped(paths, target);
}

void FileListSource::headerClicked(int column) {
    listing_.headerClicked(column);
    Preferences::writeSortOrder({listing_.sortColumn(), listing_.sortAscending()});
    if (!list_)
        return;
    list_->redrawHeader();
    list_->reload();
}
