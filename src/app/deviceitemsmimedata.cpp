#include "app/deviceitemsmimedata.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

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

DeviceItemsMimeData::DeviceItemsMimeData(Stage stage) : stage_(std::move(stage)) {}

QStringList DeviceItemsMimeData::formats() const {
    return {kUriList};
}

bool DeviceItemsMimeData::hasFormat(const QString& mimeType) const {
    return mimeType == kUriList;
}

QVariant DeviceItemsMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
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
