#include "app/devicetreemodel.h"

#include <algorithm>

#include "app/devicetreecontrol.h"

namespace {

int positionOf(const DeviceTreeRow& row) {
    const auto& siblings = row.parent->children;
    const auto found = std::find_if(siblings.begin(), siblings.end(),
                                    [&row](const auto& sibling) { return sibling.get() == &row; });
    return static_cast<int>(found - siblings.begin());
}

int childCount(const DeviceTreeRow& row) {
    return static_cast<int>(row.children.size());
}

}  // namespace

DeviceTreeModel::DeviceTreeModel(QObject* parent)
    : QAbstractItemModel(parent), root_(std::make_unique<DeviceTreeRow>()) {}

DeviceTreeModel::~DeviceTreeModel() = default;

DeviceTreeRow* DeviceTreeModel::rowAt(const QModelIndex& index) {
    return index.isValid() ? static_cast<DeviceTreeRow*>(index.internalPointer()) : nullptr;
}

QModelIndex DeviceTreeModel::indexOf(const DeviceTreeRow* row) const {
    if (!row || !row->parent)
        return {};
    return createIndex(positionOf(*row), 0, row);
}

DeviceTreeRow* DeviceTreeModel::appendRow(DeviceTreeRow& parent,
                                          std::unique_ptr<DeviceTreeRow> row) {
    const int position = childCount(parent);
    row->parent = &parent;
    beginInsertRows(indexOf(&parent), position, position);
    parent.children.push_back(std::move(row));
    endInsertRows();
    return parent.children.back().get();
}

void DeviceTreeModel::deleteRow(DeviceTreeRow& row) {
    if (!row.parent)
        return;
    DeviceTreeRow& parent = *row.parent;
    const int position = positionOf(row);
    beginRemoveRows(indexOf(&parent), position, position);
    // Views let go of the row's items before it is freed.
    const std::unique_ptr<DeviceTreeRow> doomed = std::move(parent.children[size_t(position)]);
    parent.children.erase(parent.children.begin() + position);
    endRemoveRows();
}

void DeviceTreeModel::deleteChildren(DeviceTreeRow& row) {
    if (row.children.empty())
        return;
    beginRemoveRows(indexOf(&row), 0, childCount(row) - 1);
    const auto doomed = std::move(row.children);
    row.children.clear();
    endRemoveRows();
}

void DeviceTreeModel::rowChanged(const DeviceTreeRow& row) {
    const QModelIndex index = indexOf(&row);
    if (index.isValid())
        emit dataChanged(index, index);
}

QModelIndex DeviceTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const DeviceTreeRow& parentRow = rowOrRoot(parent);
    if (column != 0 || row < 0 || row >= childCount(parentRow))
        return {};
    return createIndex(row, 0, parentRow.children[size_t(row)].get());
}

QModelIndex DeviceTreeModel::parent(const QModelIndex& child) const {
    const DeviceTreeRow* row = rowAt(child);
    return row ? indexOf(row->parent) : QModelIndex();
}

int DeviceTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    return childCount(rowOrRoot(parent));
}

int DeviceTreeModel::columnCount(const QModelIndex& /*parent*/) const {
    return 1;
}

QVariant DeviceTreeModel::data(const QModelIndex& index, int role) const {
    const DeviceTreeRow* row = rowAt(index);
    if (!row || role != Qt::DisplayRole)
        return {};
    return row->text.name;
}

Qt::ItemFlags DeviceTreeModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

const DeviceTreeRow& DeviceTreeModel::rowOrRoot(const QModelIndex& index) const {
    const DeviceTreeRow* row = rowAt(index);
    return row ? *row : *root_;
}
