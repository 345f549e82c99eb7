#include "app/cmainwindow.h"

#include <QApplication>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <algorithm>

#include "app/log.h"
#include "device/amdevice.h"
#include "device/devicemonitor.h"
#include "ui/layoutloader.h"

CMainWindow::CMainWindow(LayoutLoader& loader, QWidget* parent) : SkinnedWindow(parent) {
    loadLayout(loader, QStringLiteral("mainwindow.xml"));
    setWindowTitle(QApplication::applicationName());
    if (auto* title = control<QLabel>(QStringLiteral("labelTitle"))) {
        title->setText(QApplication::applicationName());
    }
}

CMainWindow::~CMainWindow() {
    // Later events go nowhere; those already queued find this window gone.
    DeviceMonitor::instance().setListener(nullptr);
}

bool CMainWindow::startDeviceListening() {
    DeviceMonitor& monitor = DeviceMonitor::instance();
    // The one hand-off from the library's thread: each event becomes a call queued to the
    // user-interface thread, in order; there it is dropped if this window is gone by then.
    monitor.setDispatcher([window = QPointer<CMainWindow>(this)](std::function<void()> call) {
        QMetaObject::invokeMethod(
            qApp,
            [window, call = std::move(call)] {
                if (window)
                    call();
            },
            Qt::QueuedConnection);
    });
    monitor.setListener(this);
    try {
        monitor.startListening();
        return true;
    } catch (const CZelboString& text) {
        Log::instance().format(u"Failed to start listening: %s", text);
        return false;
    }
}

void CMainWindow::onDeviceConnected(AMDevice* device) {
    devices_.emplace_back(device, ZelboLib::ObjectReleaser());
}

void CMainWindow::onDeviceDisconnected(AMDevice* device) {
    std::erase_if(devices_, [device](const auto& held) { return held.get() == device; });
}
