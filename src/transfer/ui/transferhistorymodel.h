#pragma once

#include <cstddef>
#include <vector>

#include <QAbstractListModel>

#include "transfer/transferrecord.h"

/**
 * The transfer history as a list model, newest record in row 0. Rows are computed when a view asks
 * for them, so thousands of records cost no more than their copies. GUI thread only.
 */
class TransferHistoryModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        /** The local file's full path (also the display role). */
        LocalFileRole = Qt::UserRole + 1,
        /** True for a download. */
        FromDeviceRole,
        /** TransferRecord::kCopied, kNotCopied or 0. */
        StatusRole,
        /** "Copy from <device>" for a download, "Copy to <device>" for an upload. */
        DirectionTextRole,
        /** "Transfer on " and the record's time stamp. */
        TimeTextRole,
        /** "Copied", "Failed", or empty for a record without a status. */
        StatusTextRole,
    };

    explicit TransferHistoryModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    size_t recordCount() const { return records_.size(); }
    /** The record in `row` (0: the newest); `row` must be below rowCount(). */
    const TransferRecord& recordAt(int row) const;

    /** Puts records that are newer than every held one above them; `newer` is oldest first. */
    void append(std::vector<TransferRecord> newer);
    /** Replaces every row; `records` is oldest first. */
    void replaceAll(std::vector<TransferRecord> records);

private:
    /** Oldest first, as the history keeps them. */
    std::vector<TransferRecord> records_;
};
