// The window's copies through libplovik-usbmux against plovik-devemu, for drills_test.sh, which
// starts the emulator with the device pulled out in the middle of the copy. Each case runs only
// when PLOVIK_WINDOW_DRILL names it ("download" or "upload", with the file to upload in
// PLOVIK_WINDOW_DRILL_FILE); the script checks the device's side.

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <functional>

#include "app/dialogscript.h"
#include "app/filecommands.h"
#include "app/mainwindowharness.h"
#include "device/amdevice.h"
#include "fstree/devicefilesystemnode.h"
#include "temporarysettings.h"

using namespace mainwindowharness;

namespace {

bool drillIs(const char* name) {
    return qEnvironmentVariable("PLOVIK_WINDOW_DRILL") == QLatin1String(name);
}

/** Waits until the emulated device is paired and ready, then opens folder on it. */
bool openWhenReady(Window& shown, const char* folder) {
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        for (const auto& node : shown.window.devices()) {
            if (node->device()->accessState() == kAMDeviceAccessReady)
                return shown.window.openDevicePath(QString::fromUtf8(folder));
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return false;
}

/** Selects the list's row of name; false when there is none. */
bool selectNamed(Window& shown, const QString& name) {
    for (int row = 0; row < shown.list()->itemCount(); ++row) {
        shown.list()->selectItem(row);
        const auto selected = shown.window.selectedNodes();
        if (selected.size() == 1 && toQString(selected[0]->name()) == name)
            return true;
    }
    return false;
}

/**
 * Runs the copy startCopy begins, which the device's going cuts: the alert tells of it, and the
 * history has the file, not copied, and why.
 */
void runCutCopy(Window& shown, const std::function<void()>& startCopy) {
    DialogScript script;
    script.alert("btnCancel");
    startCopy();
    QTRY_VERIFY_WITH_TIMEOUT(script.finished(), 20000);
    QTRY_VERIFY(!shown.window.fileCommands().isTransferring());
    QVERIFY(!script.alerts.isEmpty());
    const QString told = script.alerts.last();
    QVERIFY2(told.contains(QStringLiteral("Demo iPhone")) &&
                 told.contains(QStringLiteral("was disconnected")),
             qPrintable(told));
    const std::vector<TransferRecord> records = shown.window.fileCommands().history().records();
    QCOMPARE(records.size(), std::size_t{1});
    QCOMPARE(records[0].status, TransferRecord::kNotCopied);
    QVERIFY(!records[0].reason.isEmpty());
}

}  // namespace

class WindowDrillTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_USBMUX_LIBRARY); }

    void aDownloadCutByUnpluggingFailsAndLeavesNothing() {
        if (!drillIs("download"))
            QSKIP("run by drills_test.sh");
        TemporarySettings settings;
        Window shown;
        QVERIFY(openWhenReady(shown, "/Media/DCIM/100APPLE"));
        QVERIFY(selectNamed(shown, QStringLiteral("IMG_0006.MOV")));
        QTemporaryDir destination;
        runCutCopy(shown, [&] {
            shown.window.fileCommands().downloadTo(shown.window.selectedNodes(),
                                                   destination.path());
        });
        QCOMPARE(entryCount(destination.path().toStdString()), 0);
    }

    void anUploadCutByUnpluggingFailsAndIsRecorded() {
        if (!drillIs("upload"))
            QSKIP("run by drills_test.sh");
        TemporarySettings settings;
        Window shown;
        QVERIFY(openWhenReady(shown, "/Media/Downloads"));
        runCutCopy(shown, [&] {
            shown.window.fileCommands().upload({qEnvironmentVariable("PLOVIK_WINDOW_DRILL_FILE")},
                                               shown.window.currentNode());
        });
    }
};

QTEST_MAIN(WindowDrillTest)
#include "windowdrill_test.moc"
