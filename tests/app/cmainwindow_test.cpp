#include "app/cmainwindow.h"

#include <plist/plist.h>

#include <QApplication>
#include <QLabel>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <thread>

#include "app/busystep.h"
#include "app/caboutdialog.h"
#include "app/cpreferencesdialog.h"
#include "app/devicesoftwarecheck.h"
#include "app/mainwindowmenus.h"
#include "app/versiontext.h"
#include "device/amdevice.h"
#include "fstree/devicefilesystemnode.h"
#include "device/mobiledevicelibrary.h"
#include "ui/layoutloader.h"

namespace {

template <typename Function>
Function* simulator(const char* name) {
    return reinterpret_cast<Function*>(MobileDeviceLibrary::instance().entryPoint(name));
}

// A simulated device folder with a name and an identifier, and nothing else.
void writeDevice(const QString& folder, const char* name, const char* udid) {
    plist_t values = plist_new_dict();
    plist_dict_set_item(values, "DeviceName", plist_new_string(name));
    plist_dict_set_item(values, "UniqueDeviceID", plist_new_string(udid));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(values, &xml, &length);
    std::ofstream((folder + QStringLiteral("/device.plist")).toStdString()).write(xml, length);
    free(xml);
    plist_free(values);
}

}  // namespace

class CMainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_SIM_LIBRARY); }

    void showsTheTitleAndTheNoDevicePage() {
        LayoutLoader loader;
        CMainWindow window(loader);
        QCOMPARE(window.windowTitle(), QCoreApplication::applicationName());
        auto* title = window.findChild<QLabel*>(QStringLiteral("labelTitle"));
        QVERIFY(title != nullptr);
        QCOMPARE(title->text(), QCoreApplication::applicationName());
        auto* pages = window.findChild<QStackedWidget*>(QStringLiteral("mainSwitch"));
        QVERIFY(pages != nullptr);
        QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("pageNoDevice"));
    }

    void devicesArriveAndLeaveOnTheWindowsThread() {
        QTemporaryDir folder;
        writeDevice(folder.path(), "Window Phone", "0000feedface0000feedface0000feedface0000");
        LayoutLoader loader;
        CMainWindow window(loader);
        QVERIFY(window.startDeviceListening());
        QCOMPARE(simulator<int(const char*)>("PlovikSimAttach")(folder.path().toUtf8().data()), 0);
        simulator<int()>("PlovikSimFlushNotifications")();
        QVERIFY(
            window.devices().empty());  // queued for the window, not called on the library's thread
        QTRY_COMPARE(window.devices().size(), size_t{1});
        QCOMPARE(window.devices()[0]->device()->name(), CZelboString(u"Window Phone"));

        const std::shared_ptr<AMDevice> held = window.devices()[0]->device();
        simulator<int(const char*)>("PlovikSimDetach")("0000feedface0000feedface0000feedface0000");
        simulator<int()>("PlovikSimFlushNotifications")();
        QTRY_VERIFY(window.devices().empty());
        QCOMPARE(held->deviceHandle(), nullptr);  // still alive for whoever holds it
    }

    void eventsForAClosedWindowAreDropped() {
        QTemporaryDir folder;
        writeDevice(folder.path(), "Late Phone", "1111feedface0000feedface0000feedface1111");
        {
            LayoutLoader loader;
            CMainWindow window(loader);
            QVERIFY(window.startDeviceListening());
            simulator<int(const char*)>("PlovikSimAttach")(folder.path().toUtf8().data());
            simulator<int()>("PlovikSimFlushNotifications")();
        }
        QCoreApplication::processEvents();  // must not reach the destroyed window
        simulator<int(const char*)>("PlovikSimDetach")("1111feedface0000feedface0000feedface1111");
        simulator<int()>("PlovikSimFlushNotifications")();
        QCoreApplication::processEvents();
    }

    void aBusyStepRunsOnAWorkerWhileTheWindowKeepsGoing() {
        QWidget window;
        window.resize(300, 200);
        window.show();
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(10);
        std::thread::id stepThread;
        runUnderBusyIndicator(&window, Qt::darkGray, true, QRect(0, 0, 50, 50), [&] {
            stepThread = std::this_thread::get_id();
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        });
        QVERIFY(stepThread != std::this_thread::get_id());
        QVERIFY(ticks >= 3);  // the user-interface thread handled events during the step
    }

    void theMainMenuOpensThePreferences() {
        LayoutLoader loader;
        CMainWindow window(loader);
        window.show();
        bool opened = false;
        QTimer::singleShot(50, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<CPreferencesDialog*>(widget)) {
                    opened = dialog->isVisible();
                    dialog->reject();
                }
            }
        });
        window.menus().menuItemChosen(QStringLiteral("mainmenu.xml"),
                                      QStringLiteral("mmPreferences"));
        QTRY_VERIFY(opened);
    }

    void theMainMenuOpensTheAboutDialogWithTheVersion() {
        LayoutLoader loader;
        CMainWindow window(loader);
        window.show();
        QString version;
        QTimer::singleShot(50, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* about = qobject_cast<CAboutDialog*>(widget)) {
                    version = about->findChild<QLabel*>(QStringLiteral("aboutVersion"))->text();
                    about->reject();
                }
            }
        });
        window.menus().menuItemChosen(QStringLiteral("mainmenu.xml"), QStringLiteral("mmAbout"));
        QTRY_VERIFY(!version.isEmpty());
        QVERIFY(version.contains(QString::fromStdString(programVersionText())));
    }

    void theDeviceSoftwareWarningNamesWhatIsMissing() {
        const DeviceSoftwareCheck nothing(false, false);
        QVERIFY(!nothing.isComplete());
        QVERIFY(nothing.text().contains(QStringLiteral("usbmuxd")));
        QVERIFY(nothing.text().contains(QStringLiteral("libimobiledevice")));
        QVERIFY(nothing.text().contains(QStringLiteral("apt install")));
        const DeviceSoftwareCheck noDaemon(false, true);
        QVERIFY(!noDaemon.text().contains(QStringLiteral("the libimobiledevice library")));
        QVERIFY(DeviceSoftwareCheck(true, true).isComplete());
        QVERIFY(
            !DeviceSoftwareCheck::run(QStringLiteral("/nonexistent/libnothing.so")).isComplete());
    }
};

QTEST_MAIN(CMainWindowTest)
#include "cmainwindow_test.moc"
