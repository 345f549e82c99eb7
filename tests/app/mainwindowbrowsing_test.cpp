#include <plist/plist.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "app/clistviewcontrol.h"
#include "app/cmainwindow.h"
#include "app/devicetreecontrol.h"
#include "app/mainwindowharness.h"
#include "app/preferences.h"
#include "app/qtextconversion.h"
#include "device/amdevice.h"
#include "device/mobiledevicelibrary.h"
#include "fstree/devicefilesystemnode.h"
#include "temporarysettings.h"
#include "ui/layoutloader.h"

class MainWindowBrowsingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_SIM_LIBRARY); }

    void aDeviceArrivesShowsItsPanelAndLeaves() {
        Window shown;
        TestDevice device("Panel Phone", "aaaa000000000000000000000000000000000001");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QCOMPARE(shown.page("mainSwitch"), QStringLiteral("pageDevices"));
        QCOMPARE(shown.page("contentsSwitch"), QStringLiteral("pageDevice"));
        QCOMPARE(shown.window.findChild<QLabel*>(QStringLiteral("devicename"))->text(),
                 QStringLiteral("Panel Phone"));
        QCOMPARE(shown.window.findChild<QLabel*>(QStringLiteral("iosverson"))->text(),
                 QStringLiteral("17.1"));
        const std::vector<DeviceTreeRow*> rows = shown.tree()->deviceRows();
        QCOMPARE(rows.size(), std::size_t{1});
        QCOMPARE(rows[0]->text.name, QStringLiteral("Panel Phone"));
        QCOMPARE(rows[0]->background, TreeRowBackground::TopFocused);
        // Its areas were listed on arrival: Root, Media, Applications.
        QCOMPARE(rows[0]->children.size(), std::size_t{3});

        // The same device reported again changes nothing.
        const std::shared_ptr<AMDevice> same = shown.window.devices()[0]->device();
        shown.window.onDeviceConnected(same);
        QCOMPARE(shown.window.devices().size(), std::size_t{1});
        QCOMPARE(shown.tree()->deviceRows().size(), std::size_t{1});

        device.unplug();
        QTRY_VERIFY(shown.window.devices().empty());
        QCOMPARE(shown.page("mainSwitch"), QStringLiteral("pageNoDevice"));
        QVERIFY(shown.tree()->deviceRows().empty());
        QVERIFY(!shown.window.currentNode());
    }

    void historyGoesBackAndForward() {
        Window shown;
        TestDevice device("History Phone", "aaaa000000000000000000000000000000000002");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});

        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM")));
        QCOMPARE(shown.page("contentsSwitch"), QStringLiteral("pageFiles"));
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Books")));
        QCOMPARE(shown.window.history().backSize(), std::size_t{1});

        shown.window.goBack();
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media/DCIM"));
        QCOMPARE(shown.window.history().backSize(), std::size_t{0});
        QCOMPARE(shown.window.history().forwardSize(), std::size_t{1});
        shown.window.goForward();
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media/Books"));
        QCOMPARE(shown.window.history().forwardSize(), std::size_t{0});

        // A new folder after Back empties the forward history.
        shown.window.goBack();
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QCOMPARE(shown.window.history().forwardSize(), std::size_t{0});
        QCOMPARE(shown.window.history().backTop()->displayPath, CZelboString(u"/Media/DCIM"));

        // The toolbar follows within one tick.
        QTRY_VERIFY(shown.enabled("btnBackward"));
        QTRY_VERIFY(!shown.enabled("btnForward"));
        QVERIFY(shown.enabled("btnRefresh"));
        QVERIFY(shown.enabled("btnUpload"));
    }

    void aFolderShownAgainIsListedAgain() {
        Window shown;
        TestDevice device("Fresh Phone", "aaaa000000000000000000000000000000000020");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QCOMPARE(shown.list()->itemCount(), 2);
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Books")));
        // Deleted on the device meanwhile, by its own apps, say.
        fs::remove(fs::path(device.path()) / "Media/DCIM/100APPLE/IMG_0001.JPG");
        QTest::qWait(1100);
        shown.window.goBack();
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media/DCIM/100APPLE"));
        QCOMPARE(shown.list()->itemCount(), 1);
        QCOMPARE(shown.window.fileList().text(0, 0), QStringLiteral("IMG_0002.JPG"));
    }

    void theSameFolderTwiceMakesOneEntry() {
        Window shown;
        TestDevice device("Twice Phone", "aaaa000000000000000000000000000000000003");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Books")));
        shown.tree()->selectRow(shown.tree()->deviceRows()[0]);  // the panel: no entry
        QCOMPARE(shown.page("contentsSwitch"), QStringLiteral("pageDevice"));
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Books")));
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM")));
        QCOMPARE(shown.window.history().backSize(), std::size_t{1});
    }

    void historyOfAnotherDeviceStaysUnused() {
        Window shown;
        TestDevice first("First Phone", "aaaa000000000000000000000000000000000004");
        TestDevice second("Second Phone", "aaaa000000000000000000000000000000000005");
        first.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        second.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{2});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Books")));
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM")));
        // The second device's Media, reached through its tree rows.
        DeviceTreeRow* secondDevice = shown.tree()->deviceRows()[1];
        DeviceTreeRow* secondMedia = nullptr;
        for (const auto& area : secondDevice->children) {
            if (area->text.name == QStringLiteral("Media"))
                secondMedia = area.get();
        }
        QVERIFY(secondMedia);
        shown.tree()->selectRow(secondMedia);
        QCOMPARE(shown.window.currentNode()->device()->name(), CZelboString(u"Second Phone"));
        const std::size_t entries = shown.window.history().backSize();
        QCOMPARE(entries, std::size_t{2});
        // The top entry is the first device's /Media/DCIM: Back stops at it and keeps it.
        shown.window.goBack();
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media"));
        QCOMPARE(shown.window.history().backSize(), entries);

        // Unplugging the shown device jumps to the first device's panel.
        second.unplug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QCOMPARE(shown.tree()->deviceRows().size(), std::size_t{1});
        QCOMPARE(shown.page("contentsSwitch"), QStringLiteral("pageDevice"));
        QCOMPARE(shown.window.currentNode()->device()->name(), CZelboString(u"First Phone"));
    }

    void theStatusLineDescribesTheSelection() {
        Window shown;
        TestDevice device("Status Phone", "aaaa000000000000000000000000000000000006");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QCOMPARE(shown.list()->itemCount(), 2);
        QVERIFY(shown.status().contains(QStringLiteral("2 Items")));

        shown.list()->selectItem(1);
        QVERIFY(shown.status().contains(QStringLiteral("Size:")));
        QVERIFY(shown.status().contains(QStringLiteral("4.00 KB")));
        QVERIFY(shown.status().contains(QStringLiteral("Create On:")));
        QVERIFY(shown.status().contains(QStringLiteral("JPEG")));
        QTRY_VERIFY(shown.enabled("btnDownload"));
        QVERIFY(shown.enabled("btnDelete"));

        shown.list()->currentView()->selectAll();
        QVERIFY(shown.status().contains(QStringLiteral("2 Selected")));

        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Books")));
        QCOMPARE(shown.list()->itemCount(), 0);
        QCOMPARE(shown.status(), QString());
        QTRY_VERIFY(!shown.enabled("btnDelete"));
    }

    void theContextMenuOffersWhatTheClickAllows() {
        Window shown;
        TestDevice device("Menu Phone", "aaaa000000000000000000000000000000000007");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        auto* newFolder = shown.window.findChild<QAction*>(QStringLiteral("newfolder"));
        QVERIFY(newFolder);
        auto* menu = qobject_cast<QMenu*>(newFolder->parent());
        QVERIFY(menu);
        const auto enabled = [menu](const char* item) {
            for (QAction* action : menu->actions()) {
                if (action->objectName() == QLatin1String(item))
                    return action->isEnabled();
            }
            return false;
        };

        // Empty space of a plain folder: only the items that add.
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM")));
        shown.window.fileList().rightClick(-1, QPoint(10, 10));
        QVERIFY(enabled("newfolder") && enabled("uploadFiles") && enabled("uploadDirectory"));
        QVERIFY(!enabled("download") && !enabled("delete") && !enabled("rename"));
        menu->hide();

        // A file with one item selected: everything, new folder too.
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        shown.list()->selectItem(0);
        shown.window.fileList().rightClick(0, QPoint(10, 10));
        QVERIFY(enabled("download") && enabled("delete") && enabled("rename"));
        QVERIFY(enabled("newfolder"));
        menu->hide();

        // An app container in the apps list: copy only; the list takes no new items.
        DeviceTreeRow* apps = shown.appsRow();
        QVERIFY(apps);
        shown.tree()->selectRow(apps);
        QCOMPARE(shown.list()->itemCount(), 1);
        shown.list()->selectItem(0);
        shown.window.fileList().rightClick(0, QPoint(10, 10));
        QVERIFY(enabled("download"));
        QVERIFY(!enabled("delete") && !enabled("rename") && !enabled("newfolder"));
        QVERIFY(!enabled("uploadFiles") && !enabled("uploadDirectory"));
        menu->hide();
        QTRY_VERIFY(!shown.enabled("btnUpload"));
    }

    void viewStylesSwitchAndAreStored() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Style Phone", "aaaa000000000000000000000000000000000008");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        const std::uint32_t generation = shown.list()->generation();

        shown.window.menus().menuItemChosen(QStringLiteral("viewstylemenu.xml"),
                                            QStringLiteral("tiles"));
        QTRY_COMPARE(shown.list()->viewStyle(), std::uint32_t{5});
        QCOMPARE(Preferences::readViewStyle(), std::uint32_t{5});
        QCOMPARE(shown.list()->generation(), generation);  // no reload
        QCOMPARE(shown.list()->itemCount(), 2);
        auto* button = shown.window.findChild<QAbstractButton*>(QStringLiteral("btnViewstyle"));
        QVERIFY(!button->icon().isNull());

        shown.window.chooseViewStyle(QStringLiteral("tiles"));
        QCOMPARE(shown.list()->generation(), generation);
    }

    void aSortedHeaderClickReversesTheOrder() {
        Window shown;
        TestDevice device("Sort Phone", "aaaa000000000000000000000000000000000009");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media")));
        // Folders first, then files: DCIM and Books in device order, then note.txt.
        QCOMPARE(shown.window.fileList().text(2, 0), QStringLiteral("note.txt"));
        QCOMPARE(shown.window.fileList().text(0, 1), QString());  // a folder has no size
        shown.window.fileList().headerClicked(0);
        QCOMPARE(shown.window.fileList().text(0, 0), QStringLiteral("Books"));
        shown.window.fileList().headerClicked(0);
        QCOMPARE(shown.window.fileList().text(0, 0), QStringLiteral("DCIM"));
        QCOMPARE(shown.window.fileList().text(2, 0), QStringLiteral("note.txt"));
        QCOMPARE(shown.list()->itemCount(), 3);

        // A double click on a folder shows it through its tree row; on a file it does nothing.
        shown.window.fileList().doubleClick(2);
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media"));
        shown.window.fileList().doubleClick(0);
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media/DCIM"));
        QCOMPARE(toQString(shown.window.currentNode()->displayPath()),
                 toQString(shown.tree()->selectedRow()->node->displayPath()));
        QCOMPARE(shown.window.history().backSize(), std::size_t{1});
    }

    void anAddedFolderReachesTheTreeAndTheList() {
        Window shown;
        TestDevice device("Change Phone", "aaaa00000000000000000000000000000000000a");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media")));
        DeviceTreeRow* media = shown.tree()->selectedRow();
        shown.tree()->setExpanded(media, true);
        QCOMPARE(media->children.size(), std::size_t{2});

        fs::create_directories(fs::path(device.path()) / "Media/Podcasts");
        shown.window.folderContentsChanged(shown.window.currentNode());
        QCOMPARE(shown.tree()->selectedRow(), media);
        QVERIFY(media->expanded);
        QCOMPARE(media->children.size(), std::size_t{3});
        QCOMPARE(shown.list()->itemCount(), 4);

        // A folder without subfolders loses its expander once listed.
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Books")));
        QVERIFY(shown.tree()->selectedRow()->knownEmpty);
    }

    void aStalledDeviceDoesNotFreezeTheWindow() {
        Window shown;
        TestDevice device("Slow Phone", "aaaa00000000000000000000000000000000000b");
        TestDevice late("Late Phone", "aaaa00000000000000000000000000000000000c");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        DeviceTreeRow* apps = shown.appsRow();
        QVERIFY(apps);

        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        // The apps list waits for the installation proxy, which holds its replies.
        simulator<int(int)>("PlovikSimStallReplies")(1);
        bool lateWaited = false;
        QTimer::singleShot(400, [&] {
            // Arrives while the window waits for the device: it must wait too.
            late.plug();
            QCoreApplication::processEvents();
            lateWaited = shown.window.devices().size() == 1;
            simulator<int(int)>("PlovikSimStallReplies")(0);
        });
        shown.tree()->selectRow(apps);
        QVERIFY2(ticks >= 10, "the window kept handling events while the device stalled");
        QVERIFY(lateWaited);
        QCOMPARE(shown.list()->itemCount(), 1);
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{2});
    }

    void aLockedDeviceAsksToBeUnlockedAndCompletesItself() {
        Window shown;
        TestDevice device("Locked Phone", "aaaa00000000000000000000000000000000000d", "Locked");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        DeviceTreeRow* row = shown.tree()->deviceRows()[0];
        QVERIFY(row->children.empty());
        // Its name without a session, as a locked device tells it.
        QCOMPARE(row->text.name, QStringLiteral("Locked Phone (locked)"));
        QVERIFY(shown.window.findChild<QLabel*>(QStringLiteral("deviceAccessMessage"))
                    ->text()
                    .contains(QStringLiteral("unlock it with its passcode")));

        simulator<int(const char*, int)>("PlovikSimSetAccessState")(device.udid().c_str(),
                                                                    kAMDeviceAccessReady);
        flushNotifications();
        QTRY_VERIFY(!shown.tree()->deviceRows().empty() &&
                    shown.tree()->deviceRows()[0]->text.name == QStringLiteral("Locked Phone"));
        QCOMPARE(shown.tree()->deviceRows().size(), std::size_t{1});
        QCOMPARE(shown.tree()->deviceRows()[0]->children.size(), std::size_t{3});
    }

    void aLockedDeviceShowsItsNameAndNothingOfTheDeviceShownBefore() {
        Window shown;
        TestDevice ready("Ready Phone", "aaaa00000000000000000000000000000000000e");
        TestDevice locked("Locked Phone", "aaaa00000000000000000000000000000000000f", "Untrusted");
        ready.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        locked.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{2});
        const auto row = [&](const QString& name) {
            for (DeviceTreeRow* device : shown.tree()->deviceRows()) {
                if (device->text.name == name)
                    return device;
            }
            return static_cast<DeviceTreeRow*>(nullptr);
        };
        const auto text = [&](const char* label) {
            return shown.window.findChild<QLabel*>(QLatin1String(label))->text();
        };
        QVERIFY(row(QStringLiteral("Ready Phone")) &&
                row(QStringLiteral("Locked Phone (not trusted)")));

        shown.tree()->selectRow(row(QStringLiteral("Ready Phone")));
        QCOMPARE(text("devicename"), QStringLiteral("Ready Phone"));
        shown.tree()->selectRow(row(QStringLiteral("Locked Phone (not trusted)")));
        QCOMPARE(text("devicename"), QStringLiteral("Locked Phone"));
        QCOMPARE(text("modelName"), QStringLiteral("iPhone 13 Pro"));
        QCOMPARE(text("iosverson"), QStringLiteral("17.1"));
        QCOMPARE(text("uuid"), QString::fromStdString(locked.udid()));
        QCOMPARE(text("serialNumber"), QStringLiteral("-"));
        QVERIFY(
            shown.window.findChild<QLabel*>(QStringLiteral("deviceAccessMessage"))->isVisible());
        QVERIFY(!shown.window.findChild<QWidget*>(QStringLiteral("btnDetails"))->isVisible());
    }
};

QTEST_MAIN(MainWindowBrowsingTest)
#include "mainwindowbrowsing_test.moc"
