// "Import New Photos..." through the main window on the simulator: the second import copies
// nothing and offers to import all again, a photo added on the device is the only one copied,
// and with the preference on a HEIC photo arrives as a JPEG recorded as such.

#include <QAbstractButton>
#include <fstream>
#include <iterator>

#include "app/dialogscript.h"
#include "app/filecommands.h"
#include "app/mainwindowharness.h"
#include "app/preferences.h"
#include "temporarysettings.h"

using namespace mainwindowharness;

namespace {

QStringList namesIn(const QString& folder) {
    QStringList names;
    for (const auto& entry : fs::recursive_directory_iterator(folder.toStdString())) {
        if (entry.is_regular_file())
            names << QString::fromStdString(
                fs::relative(entry.path(), folder.toStdString()).string());
    }
    names.sort();
    return names;
}

}  // namespace

class PhotoImportTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_SIM_LIBRARY); }
    void init() {
        dataFolder_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", dataFolder_->path().toUtf8());
    }

    void aSecondImportCopiesNothingAndANewPhotoIsTheOnlyOneCopied() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Import Phone", "cccc000000000000000000000000000000000201");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.findChild<QAbstractButton*>(QStringLiteral("btnImportPhotos")));
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media")));
        const auto node = shown.window.currentNode();
        QTemporaryDir target;
        FileCommands& commands = shown.window.fileCommands();

        DialogScript script;
        script.alert("btnOK");      // "Import"
        script.alert("btnCancel");  // "No", the folder stays closed
        commands.importPhotos(node, target.path());
        QTRY_VERIFY(script.finished());
        QTRY_VERIFY(!commands.isTransferring());
        QCOMPARE(script.alerts.size(), 2);
        QVERIFY2(script.alerts[0].contains(QStringLiteral("2 of the 2 photos and videos")),
                 qPrintable(script.alerts[0]));
        QVERIFY2(script.alerts[1].contains(
                     QStringLiteral("2 of the 2 photos and videos were new; 2 copied")),
                 qPrintable(script.alerts[1]));
        QCOMPARE(namesIn(target.path()),
                 (QStringList{QStringLiteral("IMG_0001.JPG"), QStringLiteral("IMG_0002.JPG")}));
        const std::vector<TransferRecord> records = commands.history().records();
        QCOMPARE(records.size(), std::size_t{2});
        QCOMPARE(records[0].deviceIdentifier.toUtf8(), device.udid());

        // Deleted here, still imported: nothing new, and "Close" copies nothing.
        fs::remove(fs::path(target.path().toStdString()) / "IMG_0001.JPG");
        script.alert("btnCancel");
        commands.importPhotos(node, target.path());
        QTRY_VERIFY(script.finished());
        QCOMPARE(script.alerts.size(), 3);
        QVERIFY2(script.alerts[2].contains(QStringLiteral("Nothing new to import")),
                 qPrintable(script.alerts[2]));
        QVERIFY(!commands.isTransferring());
        QCOMPARE(namesIn(target.path()), QStringList{QStringLiteral("IMG_0002.JPG")});

        writeFile(fs::path(device.path()) / "Media/DCIM/100APPLE/IMG_0003.JPG", "new photo");
        script.alert("btnOK");
        script.alert("btnCancel");
        commands.importPhotos(node, target.path());
        QTRY_VERIFY(script.finished());
        QTRY_VERIFY(!commands.isTransferring());
        QVERIFY2(script.alerts[3].contains(
                     QStringLiteral("1 of the 3 photos and videos on Import Phone are new")),
                 qPrintable(script.alerts[3]));
        QVERIFY2(script.alerts[4].contains(QStringLiteral("2 imported before were not copied")),
                 qPrintable(script.alerts[4]));
        QCOMPARE(namesIn(target.path()),
                 (QStringList{QStringLiteral("IMG_0002.JPG"), QStringLiteral("IMG_0003.JPG")}));

        // "Import All Again" brings the deleted one back, by month this time.
        QTemporaryDir months;
        script.alert("btnOK");        // "Import All Again"
        script.alert("btnOK", true);  // "Import", with year and month folders
        script.alert("btnCancel");
        commands.importPhotos(node, months.path());
        QTRY_VERIFY(script.finished());
        QTRY_VERIFY(!commands.isTransferring());
        QCOMPARE(namesIn(months.path()).size(), 3);
        QVERIFY(namesIn(months.path())[0].contains(QLatin1Char('/')));
    }

    void withThePreferenceAHeicPhotoArrivesAsAJpegAndIsRecordedSo() {
        TemporarySettings settings;
        Preferences::writeSwitch(Preferences::Switch::ConvertHeicToJpeg, true);
        Window shown;
        TestDevice device("Heic Phone", "cccc000000000000000000000000000000000202");
        std::ifstream sample(std::string(PLOVIK_HEIC_SAMPLES) + "/phone-portrait.heic",
                             std::ios::binary);
        writeFile(fs::path(device.path()) / "Media/DCIM/100APPLE/IMG_0004.HEIC",
                  std::string(std::istreambuf_iterator<char>(sample), {}));
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media")));
        QTemporaryDir target;
        DialogScript script;
        script.alert("btnOK");
        script.alert("btnCancel");
        shown.window.fileCommands().importPhotos(shown.window.currentNode(), target.path());
        QTRY_VERIFY(script.finished());
        QTRY_VERIFY(!shown.window.fileCommands().isTransferring());
        QVERIFY(namesIn(target.path()).contains(QStringLiteral("IMG_0004.JPG")));
        QVERIFY(!namesIn(target.path()).contains(QStringLiteral("IMG_0004.HEIC")));
        bool recorded = false;
        for (const TransferRecord& record : shown.window.fileCommands().history().records())
            recorded = recorded || record.localFile.toUtf8().ends_with("IMG_0004.JPG");
        QVERIFY(recorded);
    }

private:
    std::unique_ptr<QTemporaryDir> dataFolder_;
};

QTEST_MAIN(PhotoImportTest)
#include "photoimport_test.moc"
