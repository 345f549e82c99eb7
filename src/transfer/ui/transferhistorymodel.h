#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include <QAbstractListModel>
#include <QStringList>

#include "transfer/transferhistorystore.h"
#include "transfer/transferrecord.h"

/**
 * The transfer history as a list model: the file being copied, when there is one, in row 0, then
 * the records, newest first. Rows are computed when a view asks for them, so thousands of records
 * cost no more than their copies. GUI thread only.
 */
class TransferHistoryModel : public QAbstractListModel {
    Q_OBJECT
public:
    /** What a row's mark shows. */
    enum class Mark { None, Copied, Failed, Skipped, Cancelled, InProgress };
    Q_ENUM(Mark)

    enum Role {
        /** The local file's full path (also the display role). */
        LocalFileRole = Qt::UserRole + 1,
        /** True for a download. */
        FromDeviceRole,
        /** The Mark of the row. */
        MarkRole,
        /** "Copy from <device>" for a download, "Copy to <device>" for an upload. */
        DirectionTextRole,
        /** The direction text and the device path. */
        DeviceTextRole,
        /** "Transfer on " and the record's time stamp, then the size when known. */
        TimeTextRole,
        /** What the mark means: "Copied", "Failed", …; empty without a mark. */
        StatusTextRole,
        /** The part of the file copied, 0 to 1; -1 when not known or not in progress. */
        ProgressRole,
        /** The text of the button that shows the local file; empty where there is none. */
        ShowFileTextRole,
    };

    explicit TransferHistoryModel(QObject* parent = nullptr);

    /** Every text ShowFileTextRole gives, so that a button can be made wide enough for each. */
    static QStringList showFileTexts();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    /** The number of records, the file in progress left out. */
    size_t recordCount() const { return records_.size(); }
    /** The newest record; recordCount() must not be 0. */
    const TransferRecord& newestRecord() const { return records_.back(); }

    /** Puts records that are newer than every held one above them; `newer` is oldest first. */
    void append(std::vector<TransferRecord> newer);
    /** Replaces every record; `records` is oldest first. */
    void replaceAll(std::vector<TransferRecord> records);
    /** Shows `file` in row 0, or no file in progress. */
    void setFileInProgress(std::optional<TransferHistoryStore::FileInProgress> file);

private:
    int firstRecordRow() const { return inProgress_ ? 1 : 0; }

    /** Oldest first, as the history keeps them. */
    std::vector<TransferRecord> records_;
    std::optional<TransferHistoryStore::FileInProgress> inProgress_;
};
