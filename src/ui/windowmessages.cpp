#include "ui/windowmessages.h"

#include <QHash>
#include <QMutex>

QEvent::Type WindowMessages::type(const QString& name) {
    static QMutex mutex;
    static QHash<QString, QEvent::Type> registered;
    const QMutexLocker lock(&mutex);
    const auto found = registered.constFind(name);
    if (found != registered.constEnd()) return *found;
    const auto made = static_cast<QEvent::Type>(QEvent::registerEventType());
    registered.insert(name, made);
    return made;
}
