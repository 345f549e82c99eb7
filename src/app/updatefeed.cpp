#include "app/updatefeed.h"

#include <QXmlStreamReader>

namespace {

const QString kSparkleNamespace =
    QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

QString thisSystem() {
#if defined(Q_OS_WIN)
    return QStringLiteral("windows");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("macos");
#else
    return QStringLiteral("linux");
#endif
}

// What one item says, before it is judged.
struct FeedItem {
    QString version;
    QString shortVersion;
    QString link;
    QString enclosureUrl;
    QString system;
};

// A link the user may be sent to: never a local file or a script.
QUrl webAddress(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const bool isWeb =
        url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http");
    return url.isValid() && isWeb && !url.host().isEmpty() ? url : QUrl();
}

std::optional<UpdateRelease> releaseOf(const FeedItem& item) {
    if (!item.system.isEmpty() && item.system != thisSystem())
        return std::nullopt;
    // Trailing zeros do not make a newer release: 1.2 and 1.2.0 are one version.
    const QVersionNumber version = QVersionNumber::fromString(item.version.trimmed()).normalized();
    if (version.isNull())
        return std::nullopt;
    UpdateRelease release;
    release.version = version;
    release.displayVersion = item.shortVersion.trimmed().isEmpty() ? item.version.trimmed()
                                                                   : item.shortVersion.trimmed();
    release.link = webAddress(item.link);
    if (release.link.isEmpty())
        release.link = webAddress(item.enclosureUrl);
    return release;
}

void readEnclosure(const QXmlStreamAttributes& attributes, FeedItem& item) {
    item.enclosureUrl = attributes.value(QLatin1String("url")).toString();
    if (attributes.hasAttribute(kSparkleNamespace, QLatin1String("version")))
        item.version = attributes.value(kSparkleNamespace, QLatin1String("version")).toString();
    if (attributes.hasAttribute(kSparkleNamespace, QLatin1String("shortVersionString")))
        item.shortVersion =
            attributes.value(kSparkleNamespace, QLatin1String("shortVersionString")).toString();
    item.system = attributes.value(kSparkleNamespace, QLatin1String("os")).toString();
}

}  // namespace

UpdateFeed UpdateFeed::read(const QByteArray& xml) {
    UpdateFeed feed;
    QXmlStreamReader reader(xml);
    std::optional<FeedItem> item;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement && item &&
            reader.name() == QLatin1String("item")) {
            const auto release = releaseOf(*item);
            if (release && (!feed.newest || release->version > feed.newest->version))
                feed.newest = release;
            item.reset();
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const bool sparkle = reader.namespaceUri() == kSparkleNamespace;
        const auto name = reader.name();
        if (name == QLatin1String("item") && reader.namespaceUri().isEmpty()) {
            item = FeedItem();
        } else if (!item) {
            continue;
        } else if (name == QLatin1String("enclosure") && !sparkle) {
            readEnclosure(reader.attributes(), *item);
        } else if (name == QLatin1String("link") && !sparkle) {
            item->link = reader.readElementText();
        } else if (name == QLatin1String("version") && sparkle) {
            item->version = reader.readElementText();
        } else if (name == QLatin1String("shortVersionString") && sparkle) {
            item->shortVersion = reader.readElementText();
        }
    }
    if (reader.hasError()) {
        feed.newest.reset();
        feed.error = QStringLiteral("The update feed is not well-formed (line %1: %2).")
                         .arg(reader.lineNumber())
                         .arg(reader.errorString());
    } else if (!feed.newest) {
        feed.error = QStringLiteral("The update feed lists no release for this system.");
    }
    return feed;
}
