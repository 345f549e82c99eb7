#include "app/filecommands.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>

#include "app/devicetreemodel.h"
#include "app/devicetreeview.h"
#include "app/dialogscript.h"
#include "app/mainwindowharness.h"
#include "app/preferences.h"
#include "temporarycachehome.h"
#include "temporarysettings.h"
#include "transfer/ui/calertdialog.h"
#include "transfer/ui/cconfirmdialog.h"
#include "transfer/ui/cprogresswindow.h"
#include "transfer/ui/ctransfermanagerwindow.h"

namespace {

int countFiles(const fs::path& folder) {
    int count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        count += entry.is_regular_file() ? 1 : 0;
    return count;
}

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_SIM_LIBRARY); }
    // Each test starts with an empty history.
    void init() {
        dataFolder_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", dataFolder_->path().toUtf8());
    }

    void aFolderIsDownloadedAndRecorded() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Copy Phone", "bbbb000000000000000000000000000000000001");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM")));
        QTemporaryDir target;
        DialogScript script;
        bool progressOverTheMessage = true;
        // The completion message: "No"; the progress window has gone by then.
        script.alert("btnCancel", false,
                     [&progressOverTheMessage] { progressOverTheMessage = progressWindowShown(); });
        shown.list()->selectItem(0);
        shown.window.fileCommands().downloadTo(shown.window.selectedNodes(), target.path());
        QVERIFY(script.finished());
        const fs::path copied = fs::path(target.path().toStdString()) / "100APPLE";
        QCOMPARE(fs::file_size(copied / "IMG_0002.JPG"), std::uintmax_t{4096});
        QCOMPARE(countFiles(copied), 2);
        QVERIFY(script.alerts.value(0).contains(QStringLiteral("Successfully Done!")));
        QVERIFY(!progressOverTheMessage);
        QVERIFY(shown.window.isEnabled());

        const std::vector<TransferRecord> records = shown.window.fileCommands().history().records();
        QCOMPARE(records.size(), std::size_t{2});
        QVERIFY(records[0].fromDevice);
        QCOMPARE(records[0].status, 2);
        QCOMPARE(toQString(records[0].deviceName), QStringLiteral("Copy Phone"));
        // Small files are copied side by side: their records come in the order they ended.
        QVERIFY(std::any_of(records.begin(), records.end(), [](const TransferRecord& record) {
            return toQString(record.localFile).endsWith(QStringLiteral("/100APPLE/IMG_0002.JPG"));
        }));

        // The same files again: "Skip" with "all" asks once, copies nothing, and says so.
        script.alert("btnCancel", true);
        script.alert("btnCancel");
        shown.window.fileCommands().downloadTo(shown.window.selectedNodes(), target.path());
        QVERIFY(script.finished());
        QCOMPARE(script.alerts.size(), 3);
        QVERIFY(script.alerts[1].contains(QStringLiteral("File already exists!")));
        QVERIFY(script.alerts[2].contains(QStringLiteral("Nothing was copied")));
        QVERIFY(script.alerts[2].contains(QStringLiteral("2 files were skipped")));
        const std::vector<TransferRecord> again = shown.window.fileCommands().history().records();
        QCOMPARE(again.size(), std::size_t{4});
        QCOMPARE(again[3].status, 3);
    }

    void aFolderIsUploadedIntoTheFolderShown() {
        TemporarySettings settings;
        Preferences::writeSwitch(Preferences::Switch::ShowTransferMessage, false);
        Window shown;
        TestDevice device("Upload Phone", "bbbb000000000000000000000000000000000002");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/Books")));
        QTemporaryDir source;
        const fs::path pics = fs::path(source.path().toStdString()) / "Pics";
        writeFile(pics / "a.jpg", "aaaa");
        writeFile(pics / "b/c.jpg", "cc");
        fs::create_directories(pics / "empty");

        shown.window.fileCommands().upload({QString::fromStdString(pics.string())},
                                           shown.window.currentNode());
        const fs::path uploaded = fs::path(device.path()) / "Media/Books/Pics";
        QCOMPARE(fs::file_size(uploaded / "b/c.jpg"), std::uintmax_t{2});
        QVERIFY(fs::is_directory(uploaded / "empty"));
        // The folder shown was listed again: the new folder is in the list, and the tree row,
        // empty before, can be expanded again.
        QCOMPARE(shown.list()->itemCount(), 1);
        QCOMPARE(shown.window.fileList().text(0, 0), QStringLiteral("Pics"));
        QVERIFY(!shown.tree()->selectedRow()->knownEmpty);

        const std::vector<TransferRecord> records = shown.window.fileCommands().history().records();
        QCOMPARE(records.size(), std::size_t{2});
        // Small files are copied side by side: their records come in the order they end.
        const auto a = std::find_if(records.begin(), records.end(), [](const TransferRecord& r) {
            return toQString(r.deviceDisplayPath).endsWith(QStringLiteral("/a.jpg"));
        });
        QVERIFY(a != records.end());
        QVERIFY(!a->fromDevice);
        // The AFC path of the device folder; the display path names the file.
        QCOMPARE(toQString(a->deviceFile), QStringLiteral("/Books/Pics/"));
        QCOMPARE(toQString(a->deviceDisplayPath), QStringLiteral("/Media/Books/Pics/a.jpg"));

        // A single chosen file is recorded too.
        writeFile(fs::path(source.path().toStdString()) / "single.txt", "1");
        shown.window.fileCommands().upload({source.path() + QStringLiteral("/single.txt")},
                                           shown.window.currentNode());
        QCOMPARE(shown.window.fileCommands().history().records().size(), std::size_t{3});
    }

    void cancelInTheOverwritePromptEndsTheRun() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Cancel Phone", "bbbb000000000000000000000000000000000003");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QTemporaryDir target;
        writeFile(fs::path(target.path().toStdString()) / "IMG_0001.JPG", "mine");
        DialogScript script;
        script.alert("btnOther");  // "Cancel" in the overwrite prompt
        shown.list()->currentView()->selectAll();
        shown.window.fileCommands().downloadTo(shown.window.selectedNodes(), target.path());
        QVERIFY(script.finished());
        // The second file was never tried, the kept one is untouched, no success was claimed.
        QVERIFY(!fs::exists(fs::path(target.path().toStdString()) / "IMG_0002.JPG"));
        std::ifstream kept(fs::path(target.path().toStdString()) / "IMG_0001.JPG");
        std::string text;
        kept >> text;
        QCOMPARE(text, std::string("mine"));
        QCOMPARE(script.alerts.size(), 1);
    }

    void aDragOutHandsOverOnlyWhatArrivedNotAFileKeptInItsPlace() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Drag Phone", "bbbb000000000000000000000000000000000013");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QTemporaryDir target;
        const fs::path folder(target.path().toStdString());
        writeFile(folder / "IMG_0001.JPG", "mine");
        DialogScript script;
        script.alert("btnOther");  // "Cancel" in the overwrite prompt
        shown.list()->currentView()->selectAll();
        const QStringList arrived =
            shown.window.fileCommands().downloadForDrag(shown.window.selectedNodes(),
                                                        target.path());
        QVERIFY(script.finished());
        // The kept file is there, but it is not the device's: the drop target must not take it.
        QVERIFY(fs::exists(folder / "IMG_0001.JPG"));
        QVERIFY(arrived.isEmpty());

        // Without one in the way, the file that arrived is handed over.
        fs::remove(folder / "IMG_0001.JPG");
        const QStringList second = shown.window.fileCommands().downloadForDrag(
            {shown.window.selectedNodes().front()}, target.path());
        QCOMPARE(second.size(), 1);
        QVERIFY(fs::exists(second.front().toStdString()));
    }

    void anUnpluggedDeviceEndsTheRunAndIsNamed() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Gone Phone", "bbbb000000000000000000000000000000000004");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        shown.list()->currentView()->selectAll();
        QTemporaryDir target;
        writeFile(fs::path(target.path().toStdString()) / "IMG_0001.JPG", "mine");
        DialogScript script;
        // While the worker waits on the overwrite prompt, the device goes.
        script.alert("btnOK", false, [&device] { device.unplug(); });
        script.alert("btnCancel");  // the message about the device
        shown.window.fileCommands().downloadTo(shown.window.selectedNodes(), target.path());
        QTRY_VERIFY(script.finished());
        QVERIFY(script.alerts.last().contains(QStringLiteral("Gone Phone")));
        QVERIFY(!fs::exists(fs::path(target.path().toStdString()) / "IMG_0002.JPG"));
        for (const auto& entry : fs::directory_iterator(target.path().toStdString()))
            QVERIFY(entry.path().filename() == "IMG_0001.JPG");  // nothing partial left
    }

    void deleteRefusesAreasAndRemovesFiles() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Delete Phone", "bbbb000000000000000000000000000000000005");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        DeviceTreeRow* apps = shown.appsRow();
        shown.tree()->selectRow(apps);
        shown.list()->selectItem(0);
        DialogScript script;
        script.alert("btnCancel");
        shown.window.fileCommands().deleteSelection();
        QVERIFY(script.finished());
        QVERIFY(script.alerts[0].contains(QStringLiteral("can't be deleted")));
        QVERIFY(fs::exists(fs::path(device.path()) / "Apps/com.example.notes/Container/Documents"));

        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM")));
        shown.list()->selectItem(0);
        script.alert("btnOK");
        shown.window.fileCommands().deleteSelection();
        QVERIFY(script.finished());
        QVERIFY(!fs::exists(fs::path(device.path()) / "Media/DCIM/100APPLE"));
        QCOMPARE(shown.list()->itemCount(), 0);
        QVERIFY(shown.window.isEnabled());
    }

    void renameAndNewFolderCheckTheirNames() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Name Phone", "bbbb000000000000000000000000000000000006");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media")));
        const fs::path media = fs::path(device.path()) / "Media";
        DialogScript script;

        // From the menu, once it has closed; spaces around the name go.
        script.name(QStringLiteral("  Made Here  "));
        shown.window.menus().menuItemChosen(QStringLiteral("filemenu.xml"),
                                            QStringLiteral("newfolder"));
        QVERIFY(!script.finished());
        QTRY_VERIFY(fs::is_directory(media / "Made Here"));
        QTRY_COMPARE(shown.list()->itemCount(), 4);

        // A separator would move the item elsewhere: refused, the dialog stays with the name.
        const int note = 3;
        QCOMPARE(shown.window.fileList().text(note, 0), QStringLiteral("note.txt"));
        shown.list()->selectItem(note);
        script.name(QStringLiteral("../escaped.txt"));
        script.alert("btnCancel");
        script.cancelName();
        shown.window.fileCommands().rename();
        QVERIFY(script.finished());
        QVERIFY(script.alerts.last().contains(QStringLiteral("Invalid filename!")));
        QCOMPARE(script.keptNames.last(), QStringLiteral("../escaped.txt"));
        QVERIFY(fs::exists(media / "note.txt"));

        // Onto an existing name: refused with what is there, nothing replaced; a second try in
        // the same dialog succeeds.
        script.name(QStringLiteral("Books"));
        script.alert("btnCancel");
        script.name(QStringLiteral("memo.txt"));
        shown.window.fileCommands().rename();
        QVERIFY(script.finished());
        QVERIFY(script.alerts.last().contains(
            QStringLiteral("A folder with that name already exists.")));
        QVERIFY(fs::exists(media / "memo.txt") && !fs::exists(media / "note.txt"));
        QVERIFY(fs::is_directory(media / "Books"));
        // The renamed item stays selected wherever the sort puts it.
        QCOMPARE(shown.window.selectedNodes().size(), std::size_t{1});
        QCOMPARE(toQString(shown.window.selectedNodes().front()->name()),
                 QStringLiteral("memo.txt"));

        // Only spaces: the Part's message.
        script.name(QStringLiteral("   "));
        script.alert("btnCancel");
        script.cancelName();
        shown.window.fileCommands().rename();
        QVERIFY(script.finished());
        QVERIFY(script.alerts.last().contains(
            QStringLiteral("The file name can't be empty or just whitespaces.")));

        // A new folder onto a file's or a folder's name is refused with its own words; the one
        // made is selected.
        script.name(QStringLiteral("memo.txt"));
        script.alert("btnCancel");
        script.name(QStringLiteral("Books"));
        script.alert("btnCancel");
        script.name(QStringLiteral("Fresh"));
        shown.window.fileCommands().newFolder();
        QVERIFY(script.finished());
        QVERIFY(script.alerts[script.alerts.size() - 2].contains(
            QStringLiteral("A file with that name already exists.")));
        QVERIFY(script.alerts.last().contains(
            QStringLiteral("A folder with that name already exists.")));
        QVERIFY(fs::is_directory(media / "Fresh") && fs::is_regular_file(media / "memo.txt"));
        QCOMPARE(toQString(shown.window.selectedNodes().front()->name()), QStringLiteral("Fresh"));
    }

    void escapeHidesTheProgressButTheRunGoesOn() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Escape Phone", "bbbb000000000000000000000000000000000007");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        shown.list()->currentView()->selectAll();
        QTemporaryDir target;
        writeFile(fs::path(target.path().toStdString()) / "IMG_0001.JPG", "mine");
        DialogScript script;
        QPointer<CProgressWindow> progress;
        // While the first file waits on its prompt, Escape closes the progress window.
        script.alert("btnOK", false, [&progress] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* window = qobject_cast<CProgressWindow*>(widget)) {
                    progress = window;
                    QTest::keyClick(window, Qt::Key_Escape);
                }
            }
        });
        script.alert("btnCancel");  // the completion message, once the worker has ended
        shown.window.fileCommands().downloadTo(shown.window.selectedNodes(), target.path());
        QVERIFY(progress.isNull() || !progress->isVisible());
        QTRY_VERIFY(script.finished());
        QVERIFY(!shown.window.fileCommands().isTransferring());
        QCOMPARE(fs::file_size(fs::path(target.path().toStdString()) / "IMG_0001.JPG"),
                 std::uintmax_t{2048});
        QVERIFY(fs::exists(fs::path(target.path().toStdString()) / "IMG_0002.JPG"));
        QVERIFY(script.alerts.last().contains(QStringLiteral("Successfully Done!")));
    }

    void filesDroppedOnATreeFolderGoThere() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Drop Phone", "bbbb00000000000000000000000000000000000d");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media")));
        shown.tree()->setExpanded(shown.tree()->selectedRow(), true);
        auto* view = shown.tree()->findChild<DeviceTreeView*>();
        const auto rowNamed = [view](const QString& name) {
            for (QModelIndex index = view->model()->index(0, 0); index.isValid();
                 index = view->indexBelow(index)) {
                if (DeviceTreeModel::rowAt(index)->text.name == name)
                    return index;
            }
            return QModelIndex();
        };
        QTemporaryDir local;
        const fs::path dropped = fs::path(local.path().toStdString()) / "dropped.txt";
        writeFile(dropped, "from the desktop");
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dropped.string()))});
        // A drag over a row, then the drop; true when the row would take it.
        const auto dropOn = [&](const QModelIndex& index) {
            const QPointF point = view->visualRect(index).center();
            QDragEnterEvent enter(point.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton,
                                  Qt::NoModifier);
            QCoreApplication::sendEvent(view->viewport(), &enter);
            QDragMoveEvent move(point.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton,
                                Qt::NoModifier);
            QCoreApplication::sendEvent(view->viewport(), &move);
            QDropEvent drop(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(view->viewport(), &drop);
            return move.isAccepted() && drop.isAccepted();
        };

        // The device's own row takes nothing.
        QVERIFY(!dropOn(rowNamed(QStringLiteral("Drop Phone"))));
        DialogScript script;
        script.alert("btnCancel");  // the completion message
        QVERIFY(dropOn(rowNamed(QStringLiteral("Books"))));
        QTRY_VERIFY(script.finished());
        const fs::path arrived = fs::path(device.path()) / "Media/Books/dropped.txt";
        QVERIFY(fs::exists(arrived));
        QCOMPARE(fs::file_size(arrived), fs::file_size(dropped));
    }

    void itemsDraggedOutArriveWhenTheDropTargetAsks() {
        TemporarySettings settings;
        TemporaryCacheHome cache;
        Window shown;
        TestDevice device("Drag Phone", "bbbb00000000000000000000000000000000000e");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM/100APPLE")));
        QAbstractItemView* view = shown.list()->currentView();
        view->selectAll();
        std::unique_ptr<QMimeData> mime(
            view->model()->mimeData(view->selectionModel()->selectedIndexes()));
        QVERIFY(mime);
        QCOMPARE(mime->formats(), QStringList{QStringLiteral("text/uri-list")});
        QVERIFY(shown.window.fileCommands().history().records().empty());

        // Dragged back onto the window, the items are no drop: nothing is downloaded for it.
        QDragMoveEvent over(view->viewport()->rect().center(), Qt::CopyAction, mime.get(),
                            Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &over);
        QVERIFY(!over.isAccepted());
        QVERIFY(shown.window.fileCommands().history().records().empty());

        // A drop target asks: the files arrive in a staging folder first, without a message.
        DialogScript script;
        script.alert("btnCancel");
        const QList<QUrl> urls = mime->urls();
        QCOMPARE(urls.size(), 2);
        for (const QUrl& url : urls) {
            const fs::path staged = url.toLocalFile().toStdString();
            QCOMPARE(
                fs::file_size(staged),
                fs::file_size(fs::path(device.path()) / "Media/DCIM/100APPLE" / staged.filename()));
        }
        QVERIFY(!script.finished());
        QCOMPARE(mime->urls(), urls);
        QCOMPARE(shown.window.fileCommands().history().records().size(), std::size_t{2});
    }

    void uploadsGoIntoTheSelectedFolderItem() {
        TemporarySettings settings;
        Window shown;
        TestDevice device("Target Phone", "bbbb000000000000000000000000000000000008");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media")));
        QCOMPARE(shown.window.uploadTarget(), shown.window.currentNode());
        shown.list()->selectItem(0);  // a folder
        QCOMPARE(shown.window.uploadTarget(), shown.window.selectedNodes().front());
        QVERIFY(shown.window.uploadTarget() != shown.window.currentNode());
        shown.list()->selectItem(2);  // note.txt: a file, so the folder shown
        QCOMPARE(shown.window.uploadTarget(), shown.window.currentNode());
        // Nothing to copy: no run, no window.
        shown.window.fileCommands().upload({}, shown.window.currentNode());
        QVERIFY(!shown.window.fileCommands().isTransferring());
    }

    void anEmptyFileShowsAnUnknownShareThenAll() {
        QWidget owner;
        TransferRun run(&owner);
        run.reset(QStringLiteral("/tmp"), false);
        CProgressWindow progress(&owner, CProgressWindow::Mode::Transfer, QStringLiteral("Copy"));
        run.setProgressWindow(&progress);
        auto* bar = progress.findChild<QProgressBar*>(QStringLiteral("workingProgress"));
        run.fileStarted(u"/Media/empty.txt", u"/tmp/empty.txt", 0);
        QTRY_COMPARE(bar->maximum(), 0);  // a moving bar: no share to show
        run.fileFinished(u"/Media/empty.txt", u"/tmp/empty.txt");
        QTRY_COMPARE(bar->value(), 100);
        QCOMPARE(run.filesCopied(), 1);
        run.setProgressWindow(nullptr);
    }

    void theTransferManagerListsTheRunAndGrowsWhileTheNewestIsOpen() {
        TemporarySettings settings;
        Preferences::writeSwitch(Preferences::Switch::ShowTransferMessage, false);
        Window shown;
        TestDevice device("Tasks Phone", "bbbb000000000000000000000000000000000009");
        device.plug();
        QTRY_COMPARE(shown.window.devices().size(), std::size_t{1});
        QVERIFY(shown.window.openDevicePath(QStringLiteral("/Media/DCIM")));
        shown.list()->selectItem(0);
        QTemporaryDir first;
        shown.window.fileCommands().downloadTo(shown.window.selectedNodes(), first.path());

        // The status line's button opens it, placed at the main window's bottom right.
        const auto rowsOf = [](CTransferManagerWindow* manager) {
            return manager->findChild<QAbstractItemView*>(QStringLiteral("taskList"))
                ->model()
                ->rowCount();
        };
        auto* button = shown.window.findChild<QAbstractButton*>(QStringLiteral("btnShowTasks"));
        QVERIFY(button->isVisibleTo(&shown.window));
        button->click();
        button->click();
        QList<CTransferManagerWindow*> managers =
            shown.window.findChildren<CTransferManagerWindow*>();
        QCOMPARE(managers.size(), 2);
        QCOMPARE(rowsOf(managers[0]), 2);
        QCOMPARE(managers[1]->pos(), CTransferManagerWindow::placement(shown.window.frameGeometry(),
                                                                       managers[1]->size()));

        // Another run: only the newer window gains its rows, newest on top.
        QTemporaryDir second;
        shown.window.fileCommands().downloadTo(shown.window.selectedNodes(), second.path());
        QTRY_COMPARE(rowsOf(managers[1]), 4);
        QCOMPARE(rowsOf(managers[0]), 2);
        const QString top = managers[1]
                                ->findChild<QAbstractItemView*>(QStringLiteral("taskList"))
                                ->model()
                                ->index(0, 0)
                                .data()
                                .toString();
        QVERIFY(top.startsWith(second.path()));
    }

private:
    std::unique_ptr<QTemporaryDir> dataFolder_;
};

QTEST_MAIN(FileCommandsTest)
#include "filecommands_test.moc"
