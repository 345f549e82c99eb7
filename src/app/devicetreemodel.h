#pragma once

#include <memory>

#include <QAbstractItemModel>

struct DeviceTreeRow;

/**
 * The item model over the device tree's rows: one column, each row's children as its child
 * items, every item pointing at its row. It owns the hidden root (level -1), and rows change
 * shape only through it, so views hear of every insertion, removal and change. GUI thread only.
 */
class DeviceTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit DeviceTreeModel(QObject* parent = nullptr);
    ~DeviceTreeModel() override;

    DeviceTreeRow& root() { return *root_; }
    const DeviceTreeRow& root() const { return *root_; }

    /** The row an index stands for; null for an invalid index. */
    static DeviceTreeRow* rowAt(const QModelIndex& index);
    /** The index of row; invalid for the root and for null. */
    QModelIndex indexOf(const DeviceTreeRow* row) const;

    /** Makes row parent's last child; returns it. */
    DeviceTreeRow* appendRow(DeviceTreeRow& parent, std::unique_ptr<DeviceTreeRow> row);
    /** Deletes row with everything below it; never the root. */
    void deleteRow(DeviceTreeRow& row);
    /** Deletes every row below row. */
    void deleteChildren(DeviceTreeRow& row);
    /** Tells views that row's texts, flags or looks changed. */
    void rowChanged(const DeviceTreeRow& row);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const DeviceTreeRow& rowOrRoot(const QModelIndex& index) const;

    std::unique_ptr<DeviceTreeRow> root_;
};
