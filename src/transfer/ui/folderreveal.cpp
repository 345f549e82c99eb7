#include "transfer/ui/folderreveal.h"

#include <utility>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringList>

namespace FolderReveal {

namespace {

DesktopCall& currentDesktopCall() {
    static DesktopCall call = callDesktop;
    return call;
}

QUrl folderUrlOf(const QUrl& file) {
    return QUrl::fromLocalFile(QFileInfo(file.toLocalFile()).absolutePath());
}

// The folder closest to `path` that exists; the root at the latest.
QString nearestExistingFolder(const QString& path) {
    QString folder = QFileInfo(path).absolutePath();
    while (!QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            break;
        folder = parent;
    }
    return folder;
}

}  // namespace

bool callDesktop(const QUrl& url, Target target) {
    if (target == Target::OpenFolder)
        return QDesktopServices::openUrl(url);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QDesktopServices::openUrl(folderUrlOf(url));
    QDBusMessage showItems = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    showItems << QStringList{QString::fromLatin1(url.toEncoded())} << QString();
    // Asynchronous: starting a file manager can take a while, and the window must not freeze.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(showItems));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [folder = folderUrlOf(url)](QDBusPendingCallWatcher* finished) {
                         if (finished->isError())
                             QDesktopServices::openUrl(folder);
                         finished->deleteLater();
                     });
    return true;
}

DesktopCall setDesktopCall(DesktopCall call) {
    return std::exchange(currentDesktopCall(), call ? std::move(call) : DesktopCall(callDesktop));
}

Result revealInFileManager(const QString& localFile) {
    if (localFile.isEmpty())
        return {};
    const QFileInfo file(localFile);
    if (file.exists()) {
        const bool shown =
            currentDesktopCall()(QUrl::fromLocalFile(file.absoluteFilePath()), Target::SelectFile);
        return {shown ? Result::Outcome::ShownFile : Result::Outcome::NotShown, {}};
    }
    const QString folder = nearestExistingFolder(file.absoluteFilePath());
    if (!currentDesktopCall()(QUrl::fromLocalFile(folder), Target::OpenFolder))
        return {};
    return {Result::Outcome::ShownNearestFolder, folder};
}

}  // namespace FolderReveal
