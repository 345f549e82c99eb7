#include "transfer/ui/folderchooser.h"

#include <QDir>
#include <QFileDialog>

std::optional<QString> chooseFolder(QWidget* owner) {
    const QString folder = QFileDialog::getExistingDirectory(
        owner, QStringLiteral("Choose a Folder:"), QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(folder);
}
