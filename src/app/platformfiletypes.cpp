#include "app/platformfiletypes.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStyle>

#include "app/qtextconversion.h"
#include "fstree/filetypedescriber.h"

namespace {

const QString kFolderType = QStringLiteral("inode/directory");

QMimeType mimeTypeOf(const QString& name, bool isFolder) {
    const QMimeDatabase types;
    return isFolder ? types.mimeTypeForName(kFolderType)
                    : types.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
}

}  // namespace

CZelboString PlatformFileTypes::typeName(const CZelboString& path, bool isFolder) {
    const QMimeType type = mimeTypeOf(toQString(path), isFolder);
    if (!type.isValid() || type.isDefault() || type.comment().isEmpty())
        return describeFileTypeByExtension(path, isFolder);
    // Comments may start in lower case ("folder"); a column of names reads better capitalised.
    QString comment = type.comment();
    comment[0] = comment[0].toUpper();
    return toZelboString(comment);
}

QIcon PlatformFileTypes::icon(const QString& name, bool isFolder) {
    const QMimeType type = mimeTypeOf(name, isFolder);
    const QString key = type.name();
    const auto cached = icons_.constFind(key);
    if (cached != icons_.constEnd())
        return *cached;
    const QIcon standard =
        QApplication::style()->standardIcon(isFolder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    const QIcon icon =
        QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), standard));
    icons_.insert(key, icon);
    return icon;
}
