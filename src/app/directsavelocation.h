#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

/**
 * Where an XDND direct-save drop target wants a dragged item saved: the file:// URI it names,
 * read as a path of this computer. Only a URI of this host is taken whose last segment is the
 * name the drag offered, whose path is absolute, ends in no "/" and has no "." or ".." segment,
 * and whose segments hold no encoded "/" or NUL: the item lands at exactly that path or nowhere.
 */
class DirectSaveLocation {
public:
    /** The local path the URI names, or nothing when it is not one to save at. */
    static std::optional<QString> localPath(const QByteArray& uri, const QString& offeredName,
                                            const QString& hostName);
};
