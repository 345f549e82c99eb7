// Copy runs that meet a device that stops answering, a hidden progress window, a second command
// and an unplugged device, through the main window on the simulator.

#include <QElapsedTimer>
#include <QProgressBar>
#include <thread>

#include "app/dialogscript.h"
#include "app/filecommands.h"
#include "app/mainwindowharness.h"
#include "app/preferences.h"
#include "mobiledevice/sim/plovik_sim.h"
#include "temporarysettings.h"

using namespace mainwindowharness;

namespace {

/** Names of the staged files (".plovik-….part") in folder. */
QStringList stagedFiles(const fs::path& folder) {
    QStringList names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(".plovik-"))
            names.append(QString::fromStdString(name));
    }
    return names;
}

QProgressBar* statusProgress(CMainWindow& window) {
    return window.findChild<QProgressBar*>(QStringLiteral("progressTransfer"));
}

}  // namespace

class TransferRunsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_SIM_LIBRARY); }
    void init() {
        dataFolder_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", dataFolder_->path().toUtf8());
    }

    void cancelEndsAnUploadStuckOnTheDeviceAndLeavesNothingThere() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Stuck Phone", "bbbb000000000000000000000000000000000101");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Books")));
        QTemporaryDir source;
        const fs::path movie = fs::path(source.path().toStdString()) / "clip.mov";
        writeFile(movie, std::string(3 << 20, 'v'));

        StalledFileOperations stall(kPlovikSimFileData);
        // Should Cancel not end the stuck write, the device answers again after a while.
        QTimer::singleShot(8000, [&stall] { stall.release(); });
        DialogScript script;
        script.progress([](CProgressWindow* window) {
            QTimer::singleShot(300, window, [window] {
                window->findChild<QAbstractButton*>(QStringLiteral("btnCancel"))->click();
            });
        });
        QElapsedTimer clock;
        clock.start();
        shown.window.fileCommands().upload({QString::fromStdString(movie.string())},
                                           shown.window.currentNode());
        QVERIFY2(clock.elapsed() < 5000, "the copy waited for the device after Cancel");
        QVERIFY(script.finished());
        QVERIFY(script.alerts.isEmpty());  // a cancelled run is not reported
        const fs::path books = fs::path(device.path()) / "Media/Books";
        QVERIFY(!fs::exists(books / "clip.mov"));
        QCOMPARE(stagedFiles(books), QStringList());
        const std::vector<TransferRecord> records = shown.window.fileCommands().history().records();
        QCOMPARE(records.size(), std::size_t{1});
        QCOMPARE(records[0].status, TransferRecord::kNotCopied);
        // Browsing goes on: the connection the window lists on was left alone.
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QCOMPARE(shown.list()->itemCount(), 2);
    }

    void aHiddenRunShowsInTheStatusLineAndACommandGivenMeanwhileRunsOnItsOwn() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Busy Phone", "bbbb000000000000000000000000000000000102");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        shown.list()->selectItem(0);
        QTemporaryDir first;
        QTemporaryDir second;
        QProgressBar* bar = statusProgress(shown.window);
        QVERIFY(bar && !bar->isVisible());

        StalledFileOperations stall(kPlovikSimFileData);
        DialogScript script;
        script.progress([](CProgressWindow* window) { pressEscape(window); });
        shown.window.fileCommands().downloadTo(shown.window.selectedNodes(), first.path());
        QVERIFY(shown.window.fileCommands().isTransferring());
        QVERIFY(bar->isVisible());

        // A click on the status line brings the window back; Escape hides it again.
        script.progress([](CProgressWindow* window) { pressEscape(window); });
        QTest::mouseClick(bar, Qt::LeftButton);
        QVERIFY(script.finished());
        QVERIFY(bar->isVisible());

        // Another command waits for the run shown again; this one is cancelled, then the device
        // answers again and the waiting command runs and is reported with its own destination.
        script.progress([&stall](CProgressWindow* window) {
            window->findChild<QAbstractButton*>(QStringLiteral("btnCancel"))->click();
            stall.release();
        });
        bool progressOverTheMessage = true;
        script.alert("btnCancel", false,
                     [&progressOverTheMessage] { progressOverTheMessage = progressWindowShown(); });
        shown.window.fileCommands().downloadTo(shown.window.selectedNodes(), second.path());
        QTRY_VERIFY(script.finished());
        QTRY_VERIFY(!shown.window.fileCommands().isTransferring());
        QCOMPARE(script.alerts.size(), 1);
        QVERIFY(script.alerts[0].contains(QStringLiteral("Successfully Done!")));
        QVERIFY(script.alerts[0].contains(second.path()));
        QVERIFY(!progressOverTheMessage);
        QVERIFY(fs::exists(fs::path(second.path().toStdString()) / "IMG_0001.JPG"));
        QVERIFY(!fs::exists(fs::path(first.path().toStdString()) / "IMG_0001.JPG"));
        QVERIFY(!bar->isVisible());
    }

    void aLateEndOfTheEarlierWorkerLeavesTheNextRunAlone() {
        TemporarySettings settings;
        Preferences::writeSwitch(Preferences::Switch::ShowTransferMessage, false);
        Window shown;
        TestDevice device("Late Phone", "bbbb000000000000000000000000000000000103");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        shown.list()->selectItem(0);
        QTemporaryDir target;

        StalledFileOperations stall(kPlovikSimFileData);
        DialogScript script;
        script.progress([](CProgressWindow* window) { pressEscape(window); });
        shown.window.fileCommands().downloadTo(shown.window.selectedNodes(), target.path());
        QVERIFY(script.finished());
        // The worker ends while no event is handled: its end is still queued when the next
        // command starts a worker, which then asks about the file now there.
        stall.release();
        while (shown.window.fileCommands().isTransferring())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        script.alert("btnOK");  // "Overwrite"
        shown.window.fileCommands().downloadTo(shown.window.selectedNodes(), target.path());
        QTRY_VERIFY(script.finished());
        QTRY_VERIFY(!shown.window.fileCommands().isTransferring());
        QVERIFY(script.alerts[0].contains(QStringLiteral("File already exists!")));
        QCOMPARE(shown.window.fileCommands().history().records().size(), std::size_t{2});
    }

    void theWindowTakesNoInputWhileADeleteGoesOnAfterEscape() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Slow Delete Phone", "bbbb000000000000000000000000000000000104");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        shown.list()->selectItem(0);

        StalledFileOperations stall(kPlovikSimRemovals);
        bool enabledWhileDeleting = true;
        DialogScript script;
        script.alert("btnOK");
        script.progress([&](CProgressWindow* window) {
            pressEscape(window);
            QTimer::singleShot(200, &shown.window, [&] {
                enabledWhileDeleting = shown.window.isEnabled();
                stall.release();
            });
        });
        shown.window.fileCommands().deleteSelection();
        QVERIFY(script.finished());
        QVERIFY(!enabledWhileDeleting);
        QVERIFY(shown.window.isEnabled());
        QVERIFY(!fs::exists(fs::path(device.path()) / "Media/DCIM/100APPLE/IMG_0001.JPG"));
    }

    void anUploadStuckWhenTheDeviceGoesEndsNamingIt() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Unplugged Phone", "bbbb000000000000000000000000000000000105");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Books")));
        QTemporaryDir source;
        const fs::path movie = fs::path(source.path().toStdString()) / "clip.mov";
        writeFile(movie, std::string(3 << 20, 'v'));

        StalledFileOperations stall(kPlovikSimFileData);
        DialogScript script;
        script.progress([&device](CProgressWindow* window) {
            QTimer::singleShot(200, window, [&device] { device.unplug(); });
        });
        script.alert("btnCancel");
        shown.window.fileCommands().upload({QString::fromStdString(movie.string())},
                                           shown.window.currentNode());
        QTRY_VERIFY(script.finished());
        QVERIFY(script.alerts.last().contains(QStringLiteral("Unplugged Phone")));
        QVERIFY(!fs::exists(fs::path(device.path()) / "Media/Books/clip.mov"));
    }

private:
    std::unique_ptr<QTemporaryDir> dataFolder_;
};

QTEST_MAIN(TransferRunsTest)
#include "transferruns_test.moc"
