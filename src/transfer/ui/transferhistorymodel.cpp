#include "transfer/ui/transferhistorymodel.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "app/qtextconversion.h"
#include "ui/localdatetext.h"
#include "values/bytesize.h"

namespace {

using Mark = TransferHistoryModel::Mark;
using Cause = TransferRecord::NotCopiedCause;

QString directionText(const TransferRecord& record) {
    const QString format =
        record.fromDevice ? QStringLiteral("Copy from %1") : QStringLiteral("Copy to %1");
    return format.arg(toQString(record.deviceName));
}

// Rows of older versions keep the display path in the device file.
QString deviceText(const TransferRecord& record) {
    const CZelboString& path =
        record.deviceDisplayPath.isEmpty() ? record.deviceFile : record.deviceDisplayPath;
    const QString direction = directionText(record);
    return path.isEmpty() ? direction : direction + QStringLiteral(": ") + toQString(path);
}

QString sizeText(int64_t size) {
    return toQString(formatByteSize(size));
}

QString timeText(const TransferRecord& record) {
    QString text =
        QStringLiteral("Transfer on ") + localDateTextOfUtcStamp(toQString(record.occurredTime));
    if (record.size >= 0)
        text += QStringLiteral(" · ") + sizeText(record.size);
    return text;
}

QString progressText(const TransferHistoryStore::FileInProgress& file) {
    if (file.record.size < 0)
        return QStringLiteral("In progress");
    return QStringLiteral("In progress: %1 of %2")
        .arg(sizeText(file.done), sizeText(file.record.size));
}

Mark markOf(const TransferRecord& record) {
    if (record.status == TransferRecord::kCopied)
        return Mark::Copied;
    if (record.status != TransferRecord::kNotCopied)
        return Mark::None;
    switch (record.notCopiedCause) {
        case Cause::Skipped:
            return Mark::Skipped;
        case Cause::Cancelled:
            return Mark::Cancelled;
        case Cause::Failed:
        case Cause::Unknown:
            return Mark::Failed;
    }
    return Mark::Failed;
}

QString statusText(const TransferRecord& record) {
    switch (markOf(record)) {
        case Mark::Copied:
            return QStringLiteral("Copied");
        case Mark::Failed:
            // Older versions wrote kept targets as not copied too.
            if (record.notCopiedCause == Cause::Unknown)
                return QStringLiteral("Not copied");
            return record.reason.isEmpty()
                       ? QStringLiteral("Failed")
                       : QStringLiteral("Failed: %1").arg(toQString(record.reason));
        case Mark::Skipped:
            return QStringLiteral("Skipped: the existing file was kept");
        case Mark::Cancelled:
            return QStringLiteral("Cancelled");
        case Mark::InProgress:
        case Mark::None:
            break;
    }
    return {};
}

double progressOf(const TransferHistoryStore::FileInProgress& file) {
    if (file.record.size <= 0)
        return -1.0;
    return std::min(1.0, static_cast<double>(file.done) / static_cast<double>(file.record.size));
}

const QString kOpenFolder = QStringLiteral("Open Folder");
// An upload's local file is its source, which "Open Folder" would not make clear.
const QString kShowOnComputer = QStringLiteral("Show on computer");

QString showFileText(const TransferRecord& record) {
    return record.fromDevice ? kOpenFolder : kShowOnComputer;
}

}  // namespace

TransferHistoryModel::TransferHistoryModel(QObject* parent) : QAbstractListModel(parent) {}

QStringList TransferHistoryModel::showFileTexts() {
    return {kOpenFolder, kShowOnComputer};
}

int TransferHistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(records_.size()) + firstRecordRow();
}

QVariant TransferHistoryModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const bool inProgress = inProgress_ && index.row() == 0;
    const TransferRecord& record =
        inProgress
            ? inProgress_->record
            : records_[records_.size() - 1 - static_cast<size_t>(index.row() - firstRecordRow())];
    switch (role) {
        case Qt::DisplayRole:
        case LocalFileRole:
            return toQString(record.localFile);
        case FromDeviceRole:
            return record.fromDevice;
        case MarkRole:
            return QVariant::fromValue(inProgress ? Mark::InProgress : markOf(record));
        case DirectionTextRole:
            return directionText(record);
        case DeviceTextRole:
            return deviceText(record);
        case TimeTextRole:
            return inProgress ? progressText(*inProgress_) : timeText(record);
        case StatusTextRole:
            return inProgress ? QStringLiteral("In progress") : statusText(record);
        case ProgressRole:
            return inProgress ? progressOf(*inProgress_) : -1.0;
        case ShowFileTextRole:
            // A download in progress has no local file yet.
            return inProgress ? QString() : showFileText(record);
        default:
            return {};
    }
}

void TransferHistoryModel::append(std::vector<TransferRecord> newer) {
    if (newer.empty())
        return;
    const int first = firstRecordRow();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(newer.size()) - 1);
    records_.insert(records_.end(), std::make_move_iterator(newer.begin()),
                    std::make_move_iterator(newer.end()));
    endInsertRows();
}

void TransferHistoryModel::replaceAll(std::vector<TransferRecord> records) {
    beginResetModel();
    records_ = std::move(records);
    endResetModel();
}

void TransferHistoryModel::setFileInProgress(
    std::optional<TransferHistoryStore::FileInProgress> file) {
    if (!file && !inProgress_)
        return;
    if (file && inProgress_) {
        inProgress_ = std::move(file);
        const QModelIndex row = index(0);
        emit dataChanged(row, row);
        return;
    }
    if (file) {
        beginInsertRows(QModelIndex(), 0, 0);
        inProgress_ = std::move(file);
        endInsertRows();
    } else {
        beginRemoveRows(QModelIndex(), 0, 0);
        inProgress_.reset();
        endRemoveRows();
    }
}
