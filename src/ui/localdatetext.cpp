#include "ui/localdatetext.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

namespace {

QString shown(const QDateTime& time) {
    return QLocale().toString(time.toLocalTime(), QLocale::ShortFormat);
}

}  // namespace

QString localDateText(std::int64_t nanosecondsSince1970) {
    // Whole seconds, cut toward zero as the device's other times are.
    return shown(
        QDateTime::fromSecsSinceEpoch(nanosecondsSince1970 / 1'000'000'000, QTimeZone::utc()));
}

QString localDateTextOfUtcStamp(const QString& stamp) {
    QDateTime time = QDateTime::fromString(stamp, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!time.isValid())
        return stamp;
    time.setTimeZone(QTimeZone::utc());
    return shown(time);
}
