#include "ui/markupresources.h"

#include <algorithm>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QUrlQuery>

#include "ui/skin.h"

namespace {

constexpr auto kScheme = "skin";
constexpr auto kSpacer = "spacer";

// Guards against markup asking for absurd blank areas.
constexpr int kMaxSpacer = 4096;

}  // namespace

QUrl MarkupResources::imageUrl(const QString& name, int count, int index) {
    QUrl url;
    url.setScheme(QLatin1String(kScheme));
    url.setPath(name);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("count"), QString::number(count));
    query.addQueryItem(QStringLiteral("index"), QString::number(index));
    url.setQuery(query);
    return url;
}

QUrl MarkupResources::spacerUrl(int width, int height) {
    QUrl url;
    url.setScheme(QLatin1String(kScheme));
    url.setPath(QLatin1String(kSpacer));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("width"), QString::number(width));
    query.addQueryItem(QStringLiteral("height"), QString::number(height));
    url.setQuery(query);
    return url;
}

QVariant MarkupResources::load(const QUrl& url) {
    if (url.scheme() != QLatin1String(kScheme))
        return {};
    const QUrlQuery query(url);
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    if (url.path() == QLatin1String(kSpacer)) {
        const int width =
            std::clamp(query.queryItemValue(QStringLiteral("width")).toInt(), 1, kMaxSpacer);
        const int height =
            std::clamp(query.queryItemValue(QStringLiteral("height")).toInt(), 1, kMaxSpacer);
        QImage blank(QSize(width, height) * ratio, QImage::Format_ARGB32_Premultiplied);
        blank.fill(Qt::transparent);
        blank.setDevicePixelRatio(ratio);
        return blank;
    }
    const int count = query.queryItemValue(QStringLiteral("count")).toInt();
    const int index = query.queryItemValue(QStringLiteral("index")).toInt();
    const QPixmap frame = Skin::stripFrame(url.path(), count, index, ratio);
    if (frame.isNull())
        return {};
    return frame.toImage();
}
