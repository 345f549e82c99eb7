#include "app/filelistmodel.h"

#include <algorithm>

#include "app/listviewdatasource.h"

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

void FileListModel::setDataSource(ListviewDataSource* dataSource) {
    if (dataSource == dataSource_)
        return;
    dataSource_ = dataSource;
    reset(0);
}

void FileListModel::reset(int rowCount) {
    beginResetModel();
    rows_.clear();
    thumbnailRows_.clear();
    rowCount_ = dataSource_ ? std::max(0, rowCount) : 0;
    endResetModel();
}

void FileListModel::rowsChanged(const std::vector<int>& rows) {
    int first = rowCount_;
    int last = -1;
    for (const int row : rows) {
        if (row < 0 || row >= rowCount_)
            continue;
        first = std::min(first, row);
        last = std::max(last, row);
        const auto cached = rows_.find(row);
        if (cached == rows_.end())
            continue;
        Row kept;
        kept.thumbnail = std::move(cached->second.thumbnail);
        kept.thumbnailRequested = !kept.thumbnail.isNull();
        cached->second = std::move(kept);
    }
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, kColumnCount - 1));
}

void FileListModel::rowsMoved(const std::vector<int>& newRowOf) {
    if (newRowOf.size() != static_cast<std::size_t>(rowCount_))
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& moved : before)
        after << index(newRowOf[static_cast<std::size_t>(moved.row())], moved.column());
    changePersistentIndexList(before, after);
    std::unordered_map<int, Row> moved;
    moved.reserve(rows_.size());
    std::set<int> thumbnailRows;
    for (auto& [row, cached] : rows_) {
        const int movedTo = newRowOf[static_cast<std::size_t>(row)];
        // Requests were made for the old rows: a thumbnail not yet here is asked for anew.
        cached.thumbnailRequested = !cached.thumbnail.isNull();
        if (cached.thumbnailRequested)
            thumbnailRows.insert(movedTo);
        moved.emplace(movedTo, std::move(cached));
    }
    rows_ = std::move(moved);
    thumbnailRows_ = std::move(thumbnailRows);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool FileListModel::takeThumbnailRequest(int row) {
    if (row < 0 || row >= rowCount_)
        return false;
    Row& cached = cachedRow(row);
    if (cached.thumbnailRequested)
        return false;
    cached.thumbnailRequested = true;
    return true;
}

void FileListModel::setThumbnail(int row, const QImage& thumbnail) {
    if (row < 0 || row >= rowCount_)
        return;
    cachedRow(row).thumbnail = thumbnail;
    if (thumbnail.isNull())
        thumbnailRows_.erase(row);
    else
        thumbnailRows_.insert(row);
    dropFarThumbnails(row);
    const QModelIndex changed = index(row, 0);
    emit dataChanged(changed, changed, {ThumbnailRole});
}

void FileListModel::dropFarThumbnails(int row) {
    while (thumbnailRows_.size() > kThumbnailsKept) {
        const int first = *thumbnailRows_.begin();
        const int last = *thumbnailRows_.rbegin();
        const int farthest = row - first >= last - row ? first : last;
        thumbnailRows_.erase(farthest);
        Row& dropped = rows_[farthest];
        dropped.thumbnail = QImage();
        dropped.thumbnailRequested = false;
    }
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rowCount_;
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!dataSource_ || !index.isValid() || index.row() >= rowCount_)
        return {};
    const int row = index.row();
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole: {
            std::optional<QString>& text = cachedRow(row).texts[static_cast<std::size_t>(column)];
            if (!text)
                text = dataSource_->text(row, column);
            return *text;
        }
        case Qt::DecorationRole: {
            if (column != 0)
                return {};
            std::optional<QIcon>& icon = cachedRow(row).icon;
            if (!icon)
                icon = dataSource_->icon(row);
            return *icon;
        }
        case IsFolderRole: {
            std::optional<bool>& folder = cachedRow(row).folder;
            if (!folder)
                folder = dataSource_->isFolder(row);
            return *folder;
        }
        case ThumbnailRole: {
            const auto cached = rows_.find(row);
            return cached == rows_.end() ? QImage() : cached->second.thumbnail;
        }
        default:
            return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !dataSource_)
        return {};
    return dataSource_->columnTitle(section);
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren |
           Qt::ItemIsDragEnabled;
}

QStringList FileListModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* FileListModel::mimeData(const QModelIndexList& indexes) const {
    if (!dataSource_)
        return nullptr;
    QList<int> rows;
    for (const QModelIndex& index : indexes) {
        if (index.isValid() && index.row() < rowCount_ && !rows.contains(index.row()))
            rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows.isEmpty() ? nullptr : dataSource_->dragData(rows);
}

Qt::DropActions FileListModel::supportedDragActions() const {
    return Qt::CopyAction;
}

FileListModel::Row& FileListModel::cachedRow(int row) const {
    return rows_[row];
}
