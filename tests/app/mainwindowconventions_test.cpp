// The desktop's conventions in the main window, on the simulator: keys and mouse buttons, the
// layout and sort order kept across runs, the view-style button at start-up and the status line
// of a multiple selection.

#include <QAbstractButton>
#include <QLabel>
#include <QMouseEvent>
#include <QSplitter>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/dialogscript.h"
#include "app/filecommands.h"
#include "app/mainwindowharness.h"
#include "app/preferences.h"
#include "app/viewstyle.h"
#include "app/windowlayoutmemory.h"
#include "mobiledevice/sim/plovik_sim.h"
#include "temporarysettings.h"
#include "transfer/ui/ctransfermanagerwindow.h"

using namespace mainwindowharness;

namespace {

bool sameGlyph(const QIcon& shown, ViewStyle style) {
    return shown.pixmap(16, 16).toImage() == QIcon(viewStyleGlyph(style)).pixmap(16, 16).toImage();
}

}  // namespace

class MainWindowConventionsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_SIM_LIBRARY); }
    void init() {
        dataFolder_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", dataFolder_->path().toUtf8());
    }

    void navigationKeysAndMouseButtonsGoWhereTheirNamesSay() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Keys Phone", "dddd000000000000000000000000000000000001");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM")));
        QWidget* list = shown.list()->currentView();
        QApplication::setActiveWindow(&shown.window);
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());

        // Enter (and the keypad's) opens the selected folder.
        shown.list()->selectItem(0);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media/DCIM/100APPLE"));
        QTest::keyClick(&shown.window, Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media/DCIM"));
        shown.list()->selectItem(0);
        QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media/DCIM/100APPLE"));

        QTest::keyClick(&shown.window, Qt::Key_Backspace);
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media/DCIM"));
        QTest::keyClick(&shown.window, Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media/DCIM/100APPLE"));
        QTest::keyClick(&shown.window, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media/DCIM"));

        // The mouse's forward and back buttons, over the list.
        QWidget* viewport = shown.list()->currentView()->viewport();
        QTest::mousePress(viewport, Qt::ForwardButton, {}, QPoint(5, 5));
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media/DCIM/100APPLE"));
        QTest::mousePress(viewport, Qt::BackButton, {}, QPoint(5, 5));
        QCOMPARE(shown.shownPath(), QStringLiteral("/Media/DCIM"));
    }

    void commandKeysRefreshRenameMakeFoldersAndPickStyles() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Command Phone", "dddd000000000000000000000000000000000002");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QCOMPARE(shown.list()->itemCount(), 2);
        const fs::path roll = fs::path(device.path()) / "Media/DCIM/100APPLE";

        fs::remove(roll / "IMG_0002.JPG");
        QTest::keyClick(&shown.window, Qt::Key_F5);
        QCOMPARE(shown.list()->itemCount(), 1);
        writeFile(roll / "IMG_0003.JPG", "j");
        QTest::keyClick(&shown.window, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(shown.list()->itemCount(), 2);

        // Escape clears the selection; F2 renames; Ctrl+Shift+N makes a folder.
        QWidget* list = shown.list()->currentView();
        QApplication::setActiveWindow(&shown.window);
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());
        shown.list()->selectItem(0);
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(shown.list()->selectedItems().isEmpty());
        shown.list()->selectItem(0);
        DialogScript script;
        script.name(QStringLiteral("Renamed.JPG"));
        QTest::keyClick(&shown.window, Qt::Key_F2);
        QTRY_VERIFY(script.finished());
        QTRY_VERIFY(fs::exists(roll / "Renamed.JPG"));
        script.name(QStringLiteral("Album"));
        QApplication::setActiveWindow(&shown.window);
        QTest::keyClick(&shown.window, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(fs::is_directory(roll / "Album"));

        // Ctrl+1 to Ctrl+6 pick the view style, stored and shown on its button.
        auto* button = shown.window.findChild<QAbstractButton*>(QStringLiteral("btnViewstyle"));
        QApplication::setActiveWindow(&shown.window);
        QTest::keyClick(&shown.window, Qt::Key_5, Qt::ControlModifier);
        QCOMPARE(shown.list()->viewStyle(), std::uint32_t{5});
        QCOMPARE(Preferences::readViewStyle(), std::uint32_t{5});
        QVERIFY(sameGlyph(button->icon(), ViewStyle::Tiles));
        QTest::keyClick(&shown.window, Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(shown.list()->viewStyle(), std::uint32_t{1});
    }

    void sizePlaceSplittersAndSortOrderAreKeptAcrossRuns() {
        TemporarySettings settings;
        QList<int> treeSplit;
        {
            Window first;
            TestDevice device("Layout Phone", "dddd000000000000000000000000000000000004");
            device.plug();
            QTRY_COMPARE(first.window.devices().size(), std::size_t{1});
            QVERIFY(first.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
            QVERIFY(first.window.minimumWidth() < 800 && first.window.minimumHeight() < 600);
            first.window.resize(900, 560);
            QApplication::processEvents();
            auto* splitter = first.window.findChild<QSplitter*>(QStringLiteral("devicesSplitter"));
            QVERIFY(splitter);
            splitter->setSizes({200, 700});
            treeSplit = splitter->sizes();
            QCOMPARE(treeSplit.value(0), 200);
            first.window.fileList().headerClicked(1);  // size, ascending
            first.window.fileList().headerClicked(1);  // then descending
            WindowLayoutMemory::save(first.window);
        }
        Window second;
        QVERIFY(WindowLayoutMemory::restore(second.window));
        TestDevice device("Layout Phone", "dddd000000000000000000000000000000000004");
        device.plug();
        QTRY_COMPARE(second.window.devices().size(), std::size_t{1});
        QApplication::processEvents();
        QCOMPARE(second.window.size(), QSize(900, 560));
        QCOMPARE(second.window.findChild<QSplitter*>(QStringLiteral("devicesSplitter"))->sizes(),
                 treeSplit);
        QCOMPARE(second.window.fileList().sortColumn(), 1);
        QVERIFY(!second.window.fileList().sortAscending());
    }

    void theTreeAndTheInspectorStartAtTheirWidthsAndKeepThemAsTheWindowGrows() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Width Phone", "dddd000000000000000000000000000000000005");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QApplication::processEvents();
        const auto widthOf = [&shown](const char* name) {
            return shown.window.findChild<QWidget*>(QLatin1String(name))->width();
        };
        QCOMPARE(widthOf("fileTreeview"), 230);
        QCOMPARE(widthOf("fileInspector"), 220);
        shown.window.resize(1200, 800);
        QApplication::processEvents();
        QCOMPARE(widthOf("fileTreeview"), 230);
        QCOMPARE(widthOf("fileInspector"), 220);
    }

    void aThumbnailReadStuckOnTheDeviceDoesNotFreezeAReload() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Stuck Thumbnail Phone", "dddd000000000000000000000000000000000006");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        StalledFileOperations stall(kPlovikSimFileData);
        // Should the window wait for the worker, the device answers again after a while.
        std::atomic<bool> done{false};
        std::thread watchdog([&stall, &done] {
            for (int waited = 0; waited < 100 && !done; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            stall.release();
        });
        shown.window.showViewStyle(ViewStyle::ExtraLargeIcons);
        QTest::qWait(300);  // the thumbnail worker is in its read by now
        bool handledMessages = false;
        QTimer::singleShot(200, &shown.window, [&] {
            handledMessages = true;
            stall.release();
        });
        shown.window.refresh();
        done = true;
        watchdog.join();
        QVERIFY2(handledMessages, "the window waited for the thumbnail worker, deaf to messages");
    }

    void theViewStyleButtonShowsTheStoredStyleFromTheStart() {
        TemporarySettings settings;
        Preferences::writeViewStyle(static_cast<std::uint32_t>(ViewStyle::Details));
        Window shown;
        auto* button = shown.window.findChild<QAbstractButton*>(QStringLiteral("btnViewstyle"));
        QVERIFY(sameGlyph(button->icon(), ViewStyle::Details));
        QVERIFY(!sameGlyph(button->icon(), ViewStyle::LargeIcons));
    }

    void theTransfersButtonStaysWithoutADevice() {
        TemporarySettings settings;
        Window shown;
        QCOMPARE(shown.page("mainSwitch"), QStringLiteral("pageNoDevice"));
        auto* button = shown.window.findChild<QAbstractButton*>(QStringLiteral("btnShowTasks"));
        QVERIFY(button->isVisible());
        button->click();
        QTRY_VERIFY(!shown.window.findChildren<CTransferManagerWindow*>().isEmpty());
    }

    void aFolderOfFilesOnlyHasNoExpanderAfterARefresh() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Files Phone", "dddd00000000000000000000000000000000000e");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QVERIFY(shown.tree()->selectedRow()->knownEmpty);
        shown.window.refresh();
        QVERIFY(shown.tree()->selectedRow()->knownEmpty);
        QTest::keyClick(shown.list()->currentView(), Qt::Key_F5);
        QVERIFY(shown.tree()->selectedRow()->knownEmpty);
    }

    void anEmptyFolderSaysSo() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Empty Phone", "dddd000000000000000000000000000000000007");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        const auto emptyTextShown = [&shown] {
            auto* label = shown.list()->currentView()->viewport()->findChild<QLabel*>(
                QStringLiteral("emptyText"));
            return label && label->isVisible() &&
                   label->text() == QStringLiteral("This folder is empty");
        };
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Books")));
        QVERIFY(emptyTextShown());
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QVERIFY(!emptyTextShown());
    }

    void aMultipleSelectionShowsItsCountAndSize() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Count Phone", "dddd000000000000000000000000000000000003");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        shown.list()->currentView()->selectAll();
        QTRY_VERIFY(shown.status().contains(QStringLiteral("2 Selected")));
        // 2048 and 4096 bytes.
        QVERIFY2(shown.status().contains(QStringLiteral("6.00 KB")), qPrintable(shown.status()));
    }

private:
    std::unique_ptr<QTemporaryDir> dataFolder_;
};

QTEST_MAIN(MainWindowConventionsTest)
#include "mainwindowconventions_test.moc"
