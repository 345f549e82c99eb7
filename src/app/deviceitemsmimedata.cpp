#include "app/deviceitemsmimedata.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>

#include "app/directsavelocation.h"
#include "app/xdnddirectsave.h"

namespace {

const QString kUriList = QStringLiteral("text/uri-list");
constexpr qint64 kStagingKeptSeconds = 24 * 60 * 60;

QString stagingRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/drag-out");
}

// A drop target copies from the staging folder after the drop, at a time nobody tells: a folder
// is kept a day.
void removeOldStagingFolders() {
    const QDateTime oldest = QDateTime::currentDateTimeUtc().addSecs(-kStagingKeptSeconds);
    const QFileInfoList folders =
        QDir(stagingRoot()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo& folder : folders) {
        if (folder.lastModified().toUTC() < oldest)
            QDir(folder.absoluteFilePath()).removeRecursively();
    }
}

}  // namespace

DeviceItemsMimeData::DeviceItemsMimeData(Stage stage, const QString& directSaveName)
    : stage_(std::move(stage)), directSaveName_(directSaveName) {
    if (!directSaveName_.isEmpty())
        directSave_ = XdndDirectSave::forThisDisplay();
}

DeviceItemsMimeData::~DeviceItemsMimeData() = default;

QStringList DeviceItemsMimeData::formats() const {
    if (!directSave_)
        return {kUriList};
    // The drag asks for the formats as it starts, its window then owning the selection.
    if (!nameOffered_)
        nameOffered_ = directSave_->offerName(directSaveName_);
    return {XdndDirectSave::kFormat, kUriList};
}

bool DeviceItemsMimeData::hasFormat(const QString& mimeType) const {
    return formats().contains(mimeType);
}

QVariant DeviceItemsMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
    if (directSave_ && mimeType == XdndDirectSave::kFormat)
        return saveWhereAsked();
    if (mimeType != kUriList)
        return {};
    const QList<QUrl> urls = stagedUrls();
    if (type.id() == QMetaType::QByteArray) {
        QByteArray list;
        for (const QUrl& url : urls)
            list += url.toEncoded() + "\r\n";
        return list;
    }
    QVariantList list;
    for (const QUrl& url : urls)
        list << url;
    return list;
}

QList<QUrl> DeviceItemsMimeData::stagedUrls() const {
    // A target asking again while the download runs (its event loop) gets nothing yet.
    if (staged_ || staging_)
        return staged_.value_or(QList<QUrl>());
    staging_ = true;
    removeOldStagingFolders();
    QDir().mkpath(stagingRoot());
    QTemporaryDir folder(stagingRoot() + QStringLiteral("/XXXXXX"));
    folder.setAutoRemove(false);
    QList<QUrl> urls;
    if (folder.isValid()) {
        for (const QString& path : stage_(folder.path()))
            urls << QUrl::fromLocalFile(path);
    }
    staged_ = urls;
    staging_ = false;
    return urls;
}

QByteArray DeviceItemsMimeData::saveWhereAsked() const {
    const std::optional<QString> path = DirectSaveLocation::localPath(
        directSave_->requestedUri(), directSaveName_, QSysInfo::machineHostName());
    if (!path || !QFileInfo(QFileInfo(*path).path()).isDir())
        return "F";
    // A second request while the download runs (its event loop) is no second download.
    if (saving_)
        return "E";
    saving_ = true;
    const QStringList arrived = stage_(QFileInfo(*path).path());
    saving_ = false;
    return arrived.contains(*path) ? "S" : "E";
}
