#include "app/directsavelocation.h"

#include <QStringList>
#include <QUrl>

std::optional<QString> DirectSaveLocation::localPath(const QByteArray& uri,
                                                     const QString& offeredName,
                                                     const QString& hostName) {
    // Targets end the text with a NUL or a line break now and then.
    const QUrl url = QUrl::fromEncoded(uri.trimmed().replace('\0', QByteArray()), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QStringLiteral("file") || url.hasQuery() ||
        url.hasFragment() || !url.userInfo().isEmpty() || url.port() != -1)
        return std::nullopt;
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) != 0 &&
        host.compare(hostName, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    // Each segment is decoded on its own: "%2F" is no separator.
    const QString encodedPath = url.path(QUrl::FullyEncoded);
    if (!encodedPath.startsWith(u'/') || encodedPath.endsWith(u'/'))
        return std::nullopt;
    QStringList segments;
    for (const QString& encoded : encodedPath.split(u'/', Qt::SkipEmptyParts)) {
        const QString segment = QUrl::fromPercentEncoding(encoded.toLatin1());
        if (segment == QStringLiteral(".") || segment == QStringLiteral("..") ||
            segment.contains(u'/') || segment.contains(QChar(0)))
            return std::nullopt;
        segments << segment;
    }
    if (segments.isEmpty() || segments.last() != offeredName)
        return std::nullopt;
    return u'/' + segments.join(u'/');
}
