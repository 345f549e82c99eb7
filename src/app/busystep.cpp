#include "app/busystep.h"

#include <QEventLoop>
#include <QMetaObject>
#include <thread>

#include "app/busyindicator.h"

void runUnderBusyIndicator(QWidget* window, QColor colour, bool centre, QRect rect,
                           const std::function<void()>& step) {
    BusyIndicator indicator;
    indicator.start(window, colour, centre, rect);
    QEventLoop loop;
    std::thread worker([&] {
        step();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    indicator.stop();
}
