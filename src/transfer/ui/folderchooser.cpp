#include "transfer/ui/folderchooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "app/preferences.h"

std::optional<QString> chooseFolder(QWidget* owner) {
    const QString folder = QFileDialog::getExistingDirectory(
        owner, QStringLiteral("Choose a Folder:"), Preferences::readLastLocalFolder(),
        QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    Preferences::writeLastLocalFolder(folder);
    return QDir::toNativeSeparators(folder);
}

QStringList chooseFilesToAdd(QWidget* owner) {
    const QStringList files = QFileDialog::getOpenFileNames(
        owner, QStringLiteral("Add Files to the Device"), Preferences::readLastLocalFolder());
    if (!files.isEmpty())
        Preferences::writeLastLocalFolder(QFileInfo(files.front()).absolutePath());
    return files;
}
