// The camera roll (/Media/DCIM) through the main window on the simulator: what deleting and
// copying there say, Live Photos, and photos that are only in iCloud.

#include "app/dialogscript.h"
#include "app/filecommands.h"
#include "app/mainwindowharness.h"
#include "temporarysettings.h"

using namespace mainwindowharness;

class CameraRollTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_SIM_LIBRARY); }
    void init() {
        dataFolder_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", dataFolder_->path().toUtf8());
    }
    void cleanup() { simulator<int(const char*, int)>("PlovikSimSetFault")("AFCFileRefRead", 0); }

    void deletingThereSaysWhatItDoesUntilTurnedOffForTheDevice() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Roll Phone", "cccc000000000000000000000000000000000001");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        const fs::path roll = fs::path(device.path()) / "Media/DCIM/100APPLE";
        DialogScript script;

        shown.list()->selectItem(0);
        script.alert("btnCancel");
        shown.window.fileCommands().deleteSelection();
        QVERIFY(script.finished());
        QVERIFY(script.alerts[0].contains(QStringLiteral("Photos app keeps its own library")));
        QVERIFY(fs::exists(roll / "IMG_0001.JPG"));

        // "Delete" with "Don't ask again for this device".
        script.alert("btnOK", true);
        shown.window.fileCommands().deleteSelection();
        QVERIFY(script.finished());
        QVERIFY(!fs::exists(roll / "IMG_0001.JPG"));

        // From then on the plain question.
        shown.list()->selectItem(0);
        script.alert("btnCancel");
        shown.window.fileCommands().deleteSelection();
        QVERIFY(script.finished());
        QVERIFY(script.alerts.last().contains(QStringLiteral("deleted permanently")));
        QVERIFY(fs::exists(roll / "IMG_0002.JPG"));
    }

    void aLivePhotosVideoIsNamedAndGoesOnlyWhenTheUserSaysSo() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Live Phone", "cccc000000000000000000000000000000000002");
        const fs::path roll = fs::path(device.path()) / "Media/DCIM/100APPLE";
        writeFile(roll / "IMG_0001.MOV", "video one");
        writeFile(roll / "IMG_0002.MOV", "video two");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QCOMPARE(shown.window.fileList().text(0, 0), QStringLiteral("IMG_0001.JPG"));
        DialogScript script;

        shown.list()->selectItem(0);
        script.alert("btnOK");  // the camera roll's warning
        script.alert("btnOK");  // "Delete Both"
        shown.window.fileCommands().deleteSelection();
        QVERIFY(script.finished());
        QVERIFY(script.alerts[1].contains(QStringLiteral("IMG_0001.MOV")));
        QVERIFY(!fs::exists(roll / "IMG_0001.JPG") && !fs::exists(roll / "IMG_0001.MOV"));

        QCOMPARE(shown.window.fileList().text(0, 0), QStringLiteral("IMG_0002.JPG"));
        shown.list()->selectItem(0);
        script.alert("btnOK");
        script.alert("btnOther");  // "Photos Only"
        shown.window.fileCommands().deleteSelection();
        QVERIFY(script.finished());
        QVERIFY(!fs::exists(roll / "IMG_0002.JPG") && fs::exists(roll / "IMG_0002.MOV"));
    }

    void aCopyIntoItSaysThePhotosAppWillNotShowItAndGoesOn() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Import Phone", "cccc000000000000000000000000000000000003");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QTemporaryDir source;
        const fs::path first = fs::path(source.path().toStdString()) / "a.jpg";
        const fs::path second = fs::path(source.path().toStdString()) / "b.jpg";
        writeFile(first, "a");
        writeFile(second, "b");
        DialogScript script;
        script.alert("btnOK");      // the notice, once for both files
        script.alert("btnCancel");  // the completion message
        shown.window.fileCommands().upload(
            {QString::fromStdString(first.string()), QString::fromStdString(second.string())},
            shown.window.currentNode());
        QTRY_VERIFY(script.finished());
        QCOMPARE(script.alerts.size(), 2);
        QVERIFY(script.alerts[0].contains(QStringLiteral("Photos app will not show")));
        QVERIFY(fs::exists(fs::path(device.path()) / "Media/DCIM/100APPLE/b.jpg"));
    }

    void aPhotoOnlyInICloudSaysSo() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Cloud Phone", "cccc000000000000000000000000000000000004");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        // How a camera-roll original that is only in iCloud reads.
        simulator<int(const char*, int)>("PlovikSimSetFault")("AFCFileRefRead", 20);
        QTemporaryDir target;
        DialogScript script;
        script.alert("btnCancel");
        shown.list()->selectItem(0);
        shown.window.fileCommands().downloadTo(shown.window.selectedNodes(), target.path());
        QTRY_VERIFY(script.finished());
        QVERIFY(script.alerts[0].contains(QStringLiteral("stored in iCloud and not on the phone")));
        QVERIFY(fs::is_empty(target.path().toStdString()));
    }

private:
    std::unique_ptr<QTemporaryDir> dataFolder_;
};

QTEST_MAIN(CameraRollTest)
#include "cameraroll_test.moc"
