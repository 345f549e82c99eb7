#include "app/windowlayoutmemory.h"

#include <QSettings>
#include <QSplitter>
#include <QWidget>

namespace {

QSettings openStore() {
    return QSettings(QStringLiteral("Orvane"), QStringLiteral("Plovik"));
}

QString keyOf(const QWidget& widget) {
    return QStringLiteral("layout/") + widget.objectName();
}

}  // namespace

namespace WindowLayoutMemory {

bool restore(QWidget& window) {
    QSettings store = openStore();
    for (QSplitter* splitter : window.findChildren<QSplitter*>()) {
        if (!splitter->objectName().isEmpty())
            splitter->restoreState(store.value(keyOf(*splitter)).toByteArray());
    }
    const QByteArray geometry = store.value(keyOf(window)).toByteArray();
    return !geometry.isEmpty() && window.restoreGeometry(geometry);
}

void save(const QWidget& window) {
    QSettings store = openStore();
    store.setValue(keyOf(window), window.saveGeometry());
    for (const QSplitter* splitter : window.findChildren<QSplitter*>()) {
        if (!splitter->objectName().isEmpty())
            store.setValue(keyOf(*splitter), splitter->saveState());
    }
}

}  // namespace WindowLayoutMemory
