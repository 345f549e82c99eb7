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
    rowCount_ = dataSource_ ? std::max(0, rowCount) : 0;
    endResetModel();
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
    const QModelIndex changed = index(row, 0);
    emit dataChanged(changed, changed, {ThumbnailRole});
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
