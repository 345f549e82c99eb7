#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/filecommands.h"
#include "app/mainwindowharness.h"
#include "temporarycachehome.h"
#include "temporarysettings.h"
#include "xdsdroptarget.h"
#include "xtestpointer.h"
#include "xvfbserver.h"

// Drags out of the real window on an X server of its own, with the X server's pointer, onto a
// drop target of another connection that speaks XDND.

namespace {

using namespace std::chrono_literals;

std::string xDisplay;
const QRect kTargetArea(1100, 100, 300, 300);
const char* kSampleName = "drag-sample.bin";

std::string sampleBytes() {
    std::string bytes(300 * 1024, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
    return bytes;
}

std::string fileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/** The row of the item named name in the list shown, or -1. */
int rowNamed(QAbstractItemView* view, const QString& name) {
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        if (view->model()->index(row, 0).data().toString() == name)
            return row;
    }
    return -1;
}

/**
 * Presses on the item of row, moves the pointer onto the target and lets go once the target has
 * accepted a position. The pointer moves from another thread while this one runs the drag.
 */
void dragOnto(QAbstractItemView* view, int row, XdsDropTarget& target) {
    QVERIFY(row >= 0);
    const QRect item = view->visualRect(view->model()->index(row, 0));
    const QPoint start = view->viewport()->mapToGlobal(item.center());
    std::jthread hand([start, &target] {
        XTestPointer pointer(xDisplay);
        pointer.moveTo(start.x(), start.y());
        pointer.press();
        // Past the distance that starts a drag, in steps as a hand moves.
        for (int step = 1; step <= 6; ++step)
            pointer.moveTo(start.x() + step * 5, start.y() + step * 2);
        // The drag may start only after the pointer arrived: nudge it until the target answered.
        const QPoint over = kTargetArea.center();
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        for (int nudge = 0; std::chrono::steady_clock::now() < deadline; ++nudge) {
            pointer.moveTo(over.x() + nudge % 3, over.y());
            if (target.waitForAcceptedPosition(250ms))
                break;
        }
        pointer.release();
    });
    QTRY_VERIFY_WITH_TIMEOUT(target.isFinished(), 120000);
}

/** Everything below folder, folders included. */
int countEntries(const fs::path& folder) {
    return static_cast<int>(std::distance(fs::recursive_directory_iterator(folder),
                                          fs::recursive_directory_iterator()));
}

/** Where drags are staged, below the cache folder. */
fs::path stagingRoot() {
    return fs::path(QStandardPaths::writableLocation(QStandardPaths::CacheLocation).toStdString()) /
           "drag-out";
}

}  // namespace

class DragOutX11Test : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_SIM_LIBRARY);
    }
    void init() {
        dataFolder_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", dataFolder_->path().toUtf8());
    }

    void aSingleItemIsSavedWhereTheTargetNames() {
        TemporarySettings settings;
        TemporaryCacheHome cache;
        QTemporaryDir destination;
        const QString named = destination.filePath(QString::fromLatin1(kSampleName));
        XdsDropTarget target(xDisplay, kTargetArea.x(), kTargetArea.y(), kTargetArea.width(),
                             kTargetArea.height(),
                             QUrl::fromLocalFile(named).toEncoded().toStdString());
        QTRY_VERIFY(target.isMapped());
        Shown shown(kSampleName);
        dragOnto(shown.view(), shown.row(kSampleName), target);

        const XdsDropTarget::Outcome outcome = target.outcome();
        QVERIFY(outcome.directSave);
        QCOMPARE(outcome.offeredName, std::string(kSampleName));
        QCOMPARE(outcome.answer, std::string("S"));
        QVERIFY(fileBytes(named.toStdString()) == sampleBytes());
        QCOMPARE(entryCount(destination.path().toStdString()), 1);
        QCOMPARE(entryCount(stagingRoot()), 0);
        QCOMPARE(shown.window.window.fileCommands().history().records().size(), std::size_t{1});
    }

    void aTargetWithoutDirectSaveGetsTheStagedUriList() {
        TemporarySettings settings;
        TemporaryCacheHome cache;
        XdsDropTarget target(xDisplay, kTargetArea.x(), kTargetArea.y(), kTargetArea.width(),
                             kTargetArea.height(), {});
        QTRY_VERIFY(target.isMapped());
        Shown shown(kSampleName);
        dragOnto(shown.view(), shown.row(kSampleName), target);

        const XdsDropTarget::Outcome outcome = target.outcome();
        QVERIFY(!outcome.directSave);
        const QList<QUrl> urls =
            QUrl::fromStringList(QString::fromStdString(outcome.answer)
                                     .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts));
        QCOMPARE(urls.size(), 1);
        const fs::path staged = urls.front().toLocalFile().toStdString();
        QCOMPARE(staged.parent_path().parent_path(), stagingRoot());
        QVERIFY(fileBytes(staged) == sampleBytes());
    }

    // A path with "..", or one the offered name does not end, is refused ("F": the target may
    // fall back to the uri-list) and nothing is written; several items offer no direct save.
    void directSaveTakesOneItemAtExactlyTheNamedPath() {
        TemporarySettings settings;
        TemporaryCacheHome cache;
        QTemporaryDir destination;
        QVERIFY(QDir(destination.path()).mkdir(QStringLiteral("inner")));
        Shown shown(kSampleName);
        const QString refused[] = {
            QStringLiteral("file://%1/inner/../%2")
                .arg(destination.path(), QLatin1String(kSampleName)),
            QStringLiteral("file://%1/other.bin").arg(destination.path()),
        };
        for (const QString& uri : refused) {
            XdsDropTarget target(xDisplay, kTargetArea.x(), kTargetArea.y(), kTargetArea.width(),
                                 kTargetArea.height(), uri.toStdString());
            QTRY_VERIFY(target.isMapped());
            dragOnto(shown.view(), shown.row(kSampleName), target);
            QVERIFY(target.outcome().directSave);
            QCOMPARE(target.outcome().answer, std::string("F"));
        }
        QCOMPARE(countEntries(destination.path().toStdString()), 1);

        XdsDropTarget target(xDisplay, kTargetArea.x(), kTargetArea.y(), kTargetArea.width(),
                             kTargetArea.height(),
                             QUrl::fromLocalFile(destination.filePath(QStringLiteral("note.txt")))
                                 .toEncoded()
                                 .toStdString());
        QTRY_VERIFY(target.isMapped());
        shown.view()->selectAll();
        dragOnto(shown.view(), shown.row("note.txt"), target);
        const XdsDropTarget::Outcome outcome = target.outcome();
        QVERIFY(!outcome.directSave);
        QVERIFY(QString::fromStdString(outcome.answer).contains(QStringLiteral("/note.txt\r\n")));
        QVERIFY(std::find(outcome.offeredTypes.begin(), outcome.offeredTypes.end(),
                          "text/uri-list") != outcome.offeredTypes.end());
        QVERIFY(std::find(outcome.offeredTypes.begin(), outcome.offeredTypes.end(),
                          "XdndDirectSave0") == outcome.offeredTypes.end());
        QCOMPARE(countEntries(destination.path().toStdString()), 1);
    }

private:
    /** The main window showing /Media of a device that also holds the sample file. */
    struct Shown {
        TestDevice device{"Drag Phone", "bbbb0000000000000000000000000000000000d1"};
        Window window;

        explicit Shown(const char* sample) {
            writeFile(fs::path(device.path()) / "Media" / sample, sampleBytes());
            device.plug();
            QTRY_COMPARE(window.window.devices().size(), std::size_t{1});
            QVERIFY(QTest::qWaitForWindowExposed(&window.window));
            QVERIFY(window.window.openDevicePath(QStringLiteral("/Media")));
        }
        QAbstractItemView* view() const { return window.list()->currentView(); }
        int row(const char* name) const { return rowNamed(view(), QString::fromLatin1(name)); }
    };

    std::unique_ptr<QTemporaryDir> dataFolder_;
};

// The X server is started before the application, which connects to it on construction; one
// that cannot start fails the test.
int main(int argc, char** argv) {
    XvfbServer server;
    if (server.display().empty()) {
        std::fprintf(stderr, "FAIL: Xvfb did not start; the drag-out tests need an X server.\n");
        return 1;
    }
    xDisplay = server.display();
    setenv("DISPLAY", xDisplay.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication app(argc, argv);
    DragOutX11Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "dragout_x11_test.moc"
