#include "app/droppedfiles.h"

#include <QMimeData>
#include <QUrl>

#include "app/deviceitemsmimedata.h"

QStringList droppedLocalFiles(const QMimeData* mime) {
    QStringList paths;
    // The window's own items dragged back onto it: asking for them would download them.
    if (!mime || qobject_cast<const DeviceItemsMimeData*>(mime) || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}
