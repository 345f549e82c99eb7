#include "app/cmainwindow.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "app/busystep.h"
#include "app/cpreferencesdialog.h"
#include "app/diskthumbnailcachestore.h"
#include "app/log.h"
#include "app/preferences.h"
#include "app/updatechecker.h"
#include "app/updatemessage.h"
#include "app/versiontext.h"
#include "device/amdevice.h"
#include "device/devicemonitor.h"
#include "ui/layoutloader.h"
#include "ui/popupmenu.h"

namespace {

// The maker's web page, opened by "Visit Website".
const char* const kWebsite = "https://plovik.orvane.example/";

}  // namespace

CMainWindow::CMainWindow(LayoutLoader& loader, QWidget* parent) : SkinnedWindow(parent) {
    loadLayout(loader, QStringLiteral("mainwindow.xml"));
    setWindowTitle(QApplication::applicationName());
    if (auto* title = control<QLabel>(QStringLiteral("labelTitle"))) {
        title->setText(QApplication::applicationName());
    }
    mainMenu_ = std::make_unique<PopupMenu>(QStringLiteral("mainmenu.xml"), *this, this);
    notifications().on(NotificationType::Click, QStringLiteral("btnMenu"), [this](const auto&) {
        mainMenu_->popup(control(QStringLiteral("btnMenu")),
                         MenuPlacement::BelowRightExtendingLeft);
    });
    updateChecker_ = new UpdateChecker(QString::fromStdString(programVersion()), this);
    connect(updateChecker_, &UpdateChecker::finished, this,
            [this](const UpdateCheckResult& result) { UpdateMessage(result, this).exec(); });
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

void CMainWindow::onDeviceConnected(const std::shared_ptr<AMDevice>& device) {
    devices_.push_back(device);
}

void CMainWindow::onDeviceDisconnected(const std::shared_ptr<AMDevice>& device) {
    std::erase(devices_, device);
}

void CMainWindow::menuItemChosen(const QString& menuFile, const QString& itemName) {
    if (menuFile != QStringLiteral("mainmenu.xml"))
        return;
    // Deferred: a dialog opened while the menu still closes would fight it for the input.
    QTimer::singleShot(0, this, [this, itemName] { runMenuCommand(itemName); });
}

void CMainWindow::runMenuCommand(const QString& itemName) {
    if (itemName == QStringLiteral("mmPreferences")) {
        showPreferences();
    } else if (itemName == QStringLiteral("mmCheckUpdates")) {
        checkForUpdates();
    } else if (itemName == QStringLiteral("mmWebsite")) {
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebsite)));
    }
}

void CMainWindow::showPreferences() {
    DiskThumbnailCacheStore cache;
    CPreferencesDialog* dialog = nullptr;
    const auto underBusyIndicator = [&dialog](const std::function<void()>& clearStep) {
        runUnderBusyIndicator(dialog, QColor::fromRgba(0xEF454545), true, QRect(0, 0, 50, 50),
                              clearStep);
    };
    CPreferencesDialog preferences(this, cache, underBusyIndicator);
    dialog = &preferences;
    if (preferences.exec() != 1)
        return;
    Controls::setVisible(content(), QStringLiteral("fileInspector"),
                         Preferences::readSwitch(Preferences::Switch::ShowFileInspector));
}

void CMainWindow::checkForUpdates() {
    updateChecker_->check();
}
