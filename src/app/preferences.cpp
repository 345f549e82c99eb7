#include "app/preferences.h"

#include <limits>
#include <optional>

#include <QFileInfo>
#include <QSettings>
#include <QVariant>

namespace {

const QString kViewStyleName = QStringLiteral("fileViewStyle");
const QString kSortColumnName = QStringLiteral("fileSortColumn");
const QString kSortAscendingName = QStringLiteral("fileSortAscending");
const QString kLastLocalFolderName = QStringLiteral("lastLocalFolder");
// One value per device, named by its identifier.
const QString kPhotoDeleteWarningGroup = QStringLiteral("PhotoDeleteWarning/");

QSettings openStore() {
    return QSettings(QStringLiteral("Orvane"), QStringLiteral("Plovik"));
}

// The settings are 32-bit unsigned numbers; anything else stored under a name (text, a list, a
// number out of range) counts as absent. INI files keep numbers as text, so text that is a whole
// number in range counts.
std::optional<std::uint32_t> readNumber(const QString& name) {
    const QVariant value = openStore().value(name);
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    qlonglong number = 0;
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            number = value.toLongLong(&ok);
            break;
        case QMetaType::QString:
            number = value.toString().trimmed().toLongLong(&ok);
            break;
        default:
            return std::nullopt;
    }
    if (!ok || number < 0 || number > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(number);
}

void writeNumber(const QString& name, std::uint32_t number) {
    openStore().setValue(name, static_cast<qulonglong>(number));
}

}  // namespace

QString Preferences::valueName(Switch setting) {
    switch (setting) {
        case Switch::ShowFileInspector:
            return QStringLiteral("ShowFileInspector");
        case Switch::WorkInSafeMode:
            return QStringLiteral("WorkInSafeMode");
        case Switch::CheckUpdates:
            return QStringLiteral("CheckUpdates");
        case Switch::ShowTransferMessage:
            return QStringLiteral("ShowTransferMessage");
        case Switch::GenerateThumbnail:
            return QStringLiteral("GenerateThumbnail");
        case Switch::ConvertHeicToJpeg:
            return QStringLiteral("ConvertHeicToJpeg");
    }
    return {};
}

bool Preferences::readSwitch(Switch setting) {
    // Converting changes what lands on the disk: the user asks for it.
    const std::uint32_t fallback = setting == Switch::ConvertHeicToJpeg ? 0 : 1;
    return readNumber(valueName(setting)).value_or(fallback) != 0;
}

void Preferences::writeSwitch(Switch setting, bool on) {
    writeNumber(valueName(setting), on ? 1 : 0);
}

bool Preferences::readPhotoDeleteWarning(const QString& deviceIdentifier) {
    return readNumber(kPhotoDeleteWarningGroup + deviceIdentifier).value_or(1) != 0;
}

void Preferences::writePhotoDeleteWarning(const QString& deviceIdentifier, bool on) {
    writeNumber(kPhotoDeleteWarningGroup + deviceIdentifier, on ? 1 : 0);
}

Preferences::SortOrder Preferences::readSortOrder() {
    // Stored as the column plus one, so that "none" is 0.
    const std::optional<std::uint32_t> column = readNumber(kSortColumnName);
    SortOrder order;
    if (column && *column > 0 && *column <= 64)
        order.column = static_cast<int>(*column) - 1;
    order.ascending = readNumber(kSortAscendingName).value_or(1) != 0;
    return order;
}

void Preferences::writeSortOrder(SortOrder order) {
    writeNumber(kSortColumnName,
                order.column < 0 ? 0 : static_cast<std::uint32_t>(order.column) + 1);
    writeNumber(kSortAscendingName, order.ascending ? 1 : 0);
}

QString Preferences::readLastLocalFolder() {
    const QVariant value = openStore().value(kLastLocalFolderName);
    if (value.typeId() != QMetaType::QString)
        return {};
    const QString folder = value.toString();
    return QFileInfo(folder).isDir() ? folder : QString();
}

void Preferences::writeLastLocalFolder(const QString& folder) {
    openStore().setValue(kLastLocalFolderName, folder);
}

std::uint32_t Preferences::readViewStyle() {
    return readNumber(kViewStyleName).value_or(kDefaultViewStyle);
}

void Preferences::writeViewStyle(std::uint32_t code) {
    writeNumber(kViewStyleName, code);
}
