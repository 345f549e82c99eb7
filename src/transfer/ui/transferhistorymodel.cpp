#include "transfer/ui/transferhistorymodel.h"

#include <iterator>
#include <utility>

#include "app/qtextconversion.h"

namespace {

QString directionText(const TransferRecord& record) {
    const QString format =
        record.fromDevice ? QStringLiteral("Copy from %1") : QStringLiteral("Copy to %1");
    return format.arg(toQString(record.deviceName));
}

QString statusText(int32_t status) {
    switch (status) {
        case TransferRecord::kCopied:
            return QStringLiteral("Copied");
        case TransferRecord::kNotCopied:
            return QStringLiteral("Failed");
        default:
            return {};
    }
}

}  // namespace

TransferHistoryModel::TransferHistoryModel(QObject* parent) : QAbstractListModel(parent) {}

int TransferHistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

QVariant TransferHistoryModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const TransferRecord& record = recordAt(index.row());
    switch (role) {
        case Qt::DisplayRole:
        case LocalFileRole:
            return toQString(record.localFile);
        case FromDeviceRole:
            return record.fromDevice;
        case StatusRole:
            return record.status;
        case DirectionTextRole:
            return directionText(record);
        case TimeTextRole:
            return QStringLiteral("Transfer on ") + toQString(record.occurredTime);
        case StatusTextRole:
            return statusText(record.status);
        default:
            return {};
    }
}

const TransferRecord& TransferHistoryModel::recordAt(int row) const {
    return records_[records_.size() - 1 - static_cast<size_t>(row)];
}

void TransferHistoryModel::append(std::vector<TransferRecord> newer) {
    if (newer.empty())
        return;
    beginInsertRows(QModelIndex(), 0, static_cast<int>(newer.size()) - 1);
    records_.insert(records_.end(), std::make_move_iterator(newer.begin()),
                    std::make_move_iterator(newer.end()));
    endInsertRows();
}

void TransferHistoryModel::replaceAll(std::vector<TransferRecord> records) {
    beginResetModel();
    records_ = std::move(records);
    endResetModel();
}
