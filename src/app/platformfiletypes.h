#pragma once

#include <QHash>
#include <QIcon>
#include <QString>

#include "values/zelbostring.h"

/**
 * File-type names and icons as the desktop gives them, looked up by file name only (the file is
 * on the device): "JPEG image", the theme's image icon. Icons are cached per type. GUI thread.
 */
class PlatformFileTypes {
public:
    /**
     * The desktop's name of the type of path's file ("folder" for a folder); for a name the
     * desktop does not know, the extension in upper case and " File", or "File".
     */
    static CZelboString typeName(const CZelboString& path, bool isFolder);

    /** The type's icon from the icon theme, else the style's file or folder icon. */
    QIcon icon(const QString& name, bool isFolder);

private:
    QHash<QString, QIcon> icons_;
};
