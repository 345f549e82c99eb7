#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

#include "app/qtextconversion.h"
#include "support/temporaryfolder.h"
#include "transfer/transferhistorystore.h"
#include "transfer/ui/calertdialog.h"
#include "transfer/ui/ctransfermanagerwindow.h"
#include "ui/localdatetext.h"
#include "transfer/ui/folderreveal.h"
#include "transfer/ui/transferhistorymodel.h"
#include "transfer/ui/transferhistoryrowdelegate.h"
#include "ui/qtestsuite.h"

namespace fs = std::filesystem;
using Area = TransferHistoryRowDelegate::Area;

class CTransferManagerWindowTest : public QObject {
    Q_OBJECT
private slots:
    void rowsAreNewestFirstAndFillAddsOnlyNewRecords();
    void earlierRowsArrivingLateAreNotRepeated();
    void eachOutcomeHasItsOwnMarkAndToolTip();
    void rowsShowDirectionDevicePathSizeAndWhatTheButtonShows();
    void theFileInProgressIsTheTopRowUntilItsRecordArrives();
    void thousandsOfRecordsMakeNoRowWidgets();
    void openFolderRevealsThatRowsFileAsAFileUrl();
    void aMissingFileOpensItsNearestFolderAndSaysSo();
    void placementSizeAndClose();
};

namespace {

QString pathOf(const fs::path& path) {
    return QString::fromStdString(path.string());
}

TransferRecord makeRecord(const QString& localFile, int32_t status = TransferRecord::kCopied,
                          bool fromDevice = true,
                          const QString& device = QStringLiteral("iPhone")) {
    TransferRecord record;
    record.fromDevice = fromDevice;
    record.status = status;
    record.localFile = toZelboString(localFile);
    record.deviceFile = u"/DCIM/100APPLE/";
    record.deviceName = toZelboString(device);
    return record;
}

TransferRecord notCopied(const QString& localFile, TransferRecord::NotCopiedCause cause) {
    TransferRecord record = makeRecord(localFile, TransferRecord::kNotCopied);
    record.notCopiedCause = cause;
    return record;
}

/** A window over `history`; it deletes itself when closed, so the test holds it weakly. */
QPointer<CTransferManagerWindow> openWindow(TransferHistoryStore& history) {
    auto* window = new CTransferManagerWindow(nullptr, history);
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        qWarning("the window was not exposed");
    return window;
}

QListView* listOf(const QWidget* window) {
    return window->findChild<QListView*>(QStringLiteral("taskList"));
}

TransferHistoryRowDelegate* delegateOf(const QWidget* window) {
    return qobject_cast<TransferHistoryRowDelegate*>(listOf(window)->itemDelegate());
}

QStringList shownFiles(const QWidget* window) {
    const QAbstractItemModel* model = listOf(window)->model();
    QStringList files;
    for (int row = 0; row < model->rowCount(); ++row)
        files << model->index(row, 0).data(TransferHistoryModel::LocalFileRole).toString();
    return files;
}

QVariant dataOf(const QWidget* window, int row, int role) {
    return listOf(window)->model()->index(row, 0).data(role);
}

/** The centre of `area` of `row`, in the list's viewport. */
QPoint pointIn(const QWidget* window, int row, Area area) {
    const QListView* list = listOf(window);
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    return delegateOf(window)->areaRect(rect, area).center();
}

QString toolTipAt(const QWidget* window, int row, Area area) {
    const QListView* list = listOf(window);
    const QModelIndex index = list->model()->index(row, 0);
    return delegateOf(window)->toolTipAt(list->visualRect(index), pointIn(window, row, area),
                                         index);
}

/** Records what the desktop is asked to show instead of asking it; restores the real call. */
class DesktopRecorder {
public:
    struct Request {
        QUrl url;
        FolderReveal::Target target;
    };

    explicit DesktopRecorder(bool succeeds = true) {
        previous_ = FolderReveal::setDesktopCall(
            [this, succeeds](const QUrl& url, FolderReveal::Target target) {
                requests.push_back({url, target});
                return succeeds;
            });
    }
    ~DesktopRecorder() { FolderReveal::setDesktopCall(previous_); }

    std::vector<Request> requests;

private:
    FolderReveal::DesktopCall previous_;
};

/** Closes every alert that opens while it lives, keeping its headline and text. */
class AlertRecorder {
public:
    AlertRecorder() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* alert = qobject_cast<CAlertDialog*>(window);
                if (!alert || !alert->isVisible())
                    continue;
                texts << plainText(alert, "info") + " | " + plainText(alert, "message");
                alert->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
            }
        });
        timer_.start(10);
    }

    QStringList texts;

private:
    static QString plainText(const QWidget* alert, const char* name) {
        QTextDocument document;
        document.setHtml(alert->findChild<QLabel*>(QLatin1String(name))->text());
        return document.toPlainText().remove(QChar(0x2060));
    }

    QTimer timer_;
};

void clickOpenFolder(const QWidget* window, int row) {
    QTest::mouseClick(listOf(window)->viewport(), Qt::LeftButton, {},
                      pointIn(window, row, Area::OpenFolder));
    // The reveal is queued after the click.
    QCoreApplication::processEvents();
}

/** The pixels of `rect` near `colour`. */
int pixelsLike(const QImage& image, const QRect& rect, QColor colour) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) < 40 &&
                std::abs(pixel.green() - colour.green()) < 40 &&
                std::abs(pixel.blue() - colour.blue()) < 40)
                ++count;
        }
    }
    return count;
}

/** The row's mark in a grab of the list's viewport. */
QRect markIn(const QWidget* window, const QImage& image, int row) {
    const QListView* list = listOf(window);
    const QRect rect =
        delegateOf(window)->areaRect(list->visualRect(list->model()->index(row, 0)), Area::Status);
    const qreal ratio = image.devicePixelRatio();
    return QRect((QPointF(rect.topLeft()) * ratio).toPoint(), rect.size() * ratio);
}

}  // namespace

void CTransferManagerWindowTest::rowsAreNewestFirstAndFillAddsOnlyNewRecords() {
    TemporaryFolder folder;
    TransferHistoryStore history(toZelboString(pathOf(folder / "history.sqlite")));
    history.addRecord(makeRecord("/tmp/a.jpg"));
    history.addRecord(makeRecord("/tmp/b.jpg"));
    std::unique_ptr<CTransferManagerWindow> window(openWindow(history));
    QCOMPARE(shownFiles(window.get()), (QStringList{"/tmp/b.jpg", "/tmp/a.jpg"}));

    history.addRecord(makeRecord("/tmp/c.jpg", TransferRecord::kNotCopied));
    history.addRecord(makeRecord("/tmp/d.jpg"));
    window->fill();
    window->fill();
    QCOMPARE(shownFiles(window.get()),
             (QStringList{"/tmp/d.jpg", "/tmp/c.jpg", "/tmp/b.jpg", "/tmp/a.jpg"}));

    const QModelIndex newest = listOf(window.get())->model()->index(0, 0);
    const QString stamp = toQString(history.records().back().occurredTime);
    QVERIFY(!stamp.isEmpty());
    QCOMPARE(newest.data(TransferHistoryModel::TimeTextRole).toString(),
             "Transfer on " + localDateTextOfUtcStamp(stamp));
}

void CTransferManagerWindowTest::earlierRowsArrivingLateAreNotRepeated() {
    TemporaryFolder folder;
    const CZelboString path = toZelboString(pathOf(folder / "data/history.sqlite"));
    TransferHistoryStore(path).addRecord(makeRecord("/tmp/earlier.jpg"));
    // The data folder is away while the window opens, and comes back during the run.
    fs::rename(folder / "data", folder / "away");
    folder.write("data", "not a folder");

    TransferHistoryStore history(path);
    history.addRecord(makeRecord("/tmp/a.jpg"));
    std::unique_ptr<CTransferManagerWindow> window(openWindow(history));
    QCOMPARE(shownFiles(window.get()), QStringList{"/tmp/a.jpg"});

    fs::remove(folder / "data");
    fs::rename(folder / "away", folder / "data");
    history.addRecord(makeRecord("/tmp/b.jpg"));
    window->fill();
    QCOMPARE(shownFiles(window.get()),
             (QStringList{"/tmp/b.jpg", "/tmp/a.jpg", "/tmp/earlier.jpg"}));
}

void CTransferManagerWindowTest::eachOutcomeHasItsOwnMarkAndToolTip() {
    using Cause = TransferRecord::NotCopiedCause;
    TemporaryFolder folder;
    TransferHistoryStore history(toZelboString(pathOf(folder / "history.sqlite")));
    history.addRecord(makeRecord("/tmp/copied.jpg", TransferRecord::kCopied, true,
                                 QStringLiteral("Ann's iPhone")));
    TransferRecord failed = notCopied("/tmp/failed.jpg", Cause::Failed);
    failed.reason = u"No longer on the device";
    history.addRecord(failed);
    history.addRecord(notCopied("/tmp/skipped.jpg", Cause::Skipped));
    history.addRecord(notCopied("/tmp/cancelled.jpg", Cause::Cancelled));
    // Older versions wrote failed and kept files alike.
    TransferRecord older =
        makeRecord("/tmp/older.jpg", TransferRecord::kNotCopied, false, QStringLiteral("iPad"));
    history.addRecord(older);
    std::unique_ptr<CTransferManagerWindow> window(openWindow(history));
    window->resize(CTransferManagerWindow::kWidth, 600);
    QCoreApplication::processEvents();
    const QWidget* shown = window.get();

    // Newest first: older, cancelled, skipped, failed, copied.
    QCOMPARE(toolTipAt(shown, 0, Area::Status), QStringLiteral("Not copied"));
    QCOMPARE(toolTipAt(shown, 1, Area::Status), QStringLiteral("Cancelled"));
    QCOMPARE(toolTipAt(shown, 2, Area::Status),
             QStringLiteral("Skipped: the existing file was kept"));
    QCOMPARE(toolTipAt(shown, 3, Area::Status), QStringLiteral("Failed: No longer on the device"));
    QCOMPARE(toolTipAt(shown, 4, Area::Status), QStringLiteral("Copied"));
    QCOMPARE(toolTipAt(shown, 0, Area::Direction), QStringLiteral("Copy to iPad"));
    QCOMPARE(toolTipAt(shown, 4, Area::Direction), QStringLiteral("Copy from Ann's iPhone"));
    QCOMPARE(toolTipAt(shown, 4, Area::FileName), QStringLiteral("/tmp/copied.jpg"));
    QCOMPARE(toolTipAt(shown, 4, Area::OpenFolder), QString());

    // The view asks the delegate when the mouse rests over a row.
    QWidget* viewport = listOf(shown)->viewport();
    const QPoint overIcon = pointIn(shown, 4, Area::Direction) - QPoint(8, 8);
    QHelpEvent help(QEvent::ToolTip, overIcon, viewport->mapToGlobal(overIcon));
    QApplication::sendEvent(viewport, &help);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("Copy from Ann's iPhone"));
    QToolTip::hideText();

    // Red for failures (and the older rows that may be failures), amber for a kept target, grey
    // for a stopped run, and none of those on a copied file.
    const QColor red(0xD9, 0x30, 0x25);
    const QColor amber(0xE3, 0x9B, 0x0B);
    const QColor grey(0x7A, 0x82, 0x90);
    const QImage image = viewport->grab().toImage();
    const auto colours = [&](int row) {
        const QRect mark = markIn(shown, image, row);
        return std::vector<bool>{pixelsLike(image, mark, red) > 10,
                                 pixelsLike(image, mark, amber) > 10,
                                 pixelsLike(image, mark, grey) > 10};
    };
    QCOMPARE(colours(0), (std::vector<bool>{true, false, false}));
    QCOMPARE(colours(1), (std::vector<bool>{false, false, true}));
    QCOMPARE(colours(2), (std::vector<bool>{false, true, false}));
    QCOMPARE(colours(3), (std::vector<bool>{true, false, false}));
    QCOMPARE(colours(4), (std::vector<bool>{false, false, false}));
}

void CTransferManagerWindowTest::rowsShowDirectionDevicePathSizeAndWhatTheButtonShows() {
    TemporaryFolder folder;
    TransferHistoryStore history(toZelboString(pathOf(folder / "history.sqlite")));
    TransferRecord download = makeRecord("/tmp/IMG_1.JPG");
    download.deviceFile = u"/DCIM/100APPLE/IMG_1.JPG";
    download.deviceDisplayPath = u"/Media/DCIM/100APPLE/IMG_1.JPG";
    download.size = 2048;
    history.addRecord(download);
    // As older versions stored an upload: the display path of its device folder, no size.
    TransferRecord upload =
        makeRecord("/home/ann/a.jpg", TransferRecord::kCopied, false, QStringLiteral("iPad"));
    upload.deviceFile = u"/Media/DCIM/";
    history.addRecord(upload);
    std::unique_ptr<CTransferManagerWindow> window(openWindow(history));
    const QWidget* shown = window.get();

    QCOMPARE(dataOf(shown, 1, TransferHistoryModel::DeviceTextRole).toString(),
             QStringLiteral("Copy from iPhone: /Media/DCIM/100APPLE/IMG_1.JPG"));
    QCOMPARE(dataOf(shown, 0, TransferHistoryModel::DeviceTextRole).toString(),
             QStringLiteral("Copy to iPad: /Media/DCIM/"));
    QCOMPARE(toolTipAt(shown, 1, Area::DevicePath),
             QStringLiteral("Copy from iPhone: /Media/DCIM/100APPLE/IMG_1.JPG"));
    const QString stamp = toQString(history.records().front().occurredTime);
    QCOMPARE(dataOf(shown, 1, TransferHistoryModel::TimeTextRole).toString(),
             QStringLiteral("Transfer on %1 · 2.00 KB").arg(localDateTextOfUtcStamp(stamp)));
    QVERIFY(!dataOf(shown, 0, TransferHistoryModel::TimeTextRole).toString().contains("·"));

    // An upload's button shows its source, on this computer; the wider text fits too.
    QCOMPARE(dataOf(shown, 1, TransferHistoryModel::ShowFileTextRole).toString(),
             QStringLiteral("Open Folder"));
    const QString showOnComputer = QStringLiteral("Show on computer");
    QCOMPARE(dataOf(shown, 0, TransferHistoryModel::ShowFileTextRole).toString(), showOnComputer);
    const QListView* list = listOf(shown);
    const QRect button =
        delegateOf(shown)->areaRect(list->visualRect(list->model()->index(0, 0)), Area::OpenFolder);
    QVERIFY(button.width() >= list->fontMetrics().horizontalAdvance(showOnComputer));
}

void CTransferManagerWindowTest::theFileInProgressIsTheTopRowUntilItsRecordArrives() {
    TemporaryFolder folder;
    TransferHistoryStore history(toZelboString(pathOf(folder / "history.sqlite")));
    history.addRecord(makeRecord("/tmp/earlier.jpg"));
    std::unique_ptr<CTransferManagerWindow> window(openWindow(history));
    const QWidget* shown = window.get();

    TransferRecord started = makeRecord("/tmp/big.mov", 0);
    started.deviceDisplayPath = u"/Media/big.mov";
    started.size = 1000;
    history.setFileInProgress(started);
    history.updateFileInProgress(250, 1000);
    QTRY_COMPARE(shownFiles(shown), (QStringList{"/tmp/big.mov", "/tmp/earlier.jpg"}));
    QCOMPARE(dataOf(shown, 0, TransferHistoryModel::MarkRole).value<TransferHistoryModel::Mark>(),
             TransferHistoryModel::Mark::InProgress);
    QCOMPARE(toolTipAt(shown, 0, Area::Status), QStringLiteral("In progress"));
    QCOMPARE(dataOf(shown, 0, TransferHistoryModel::TimeTextRole).toString(),
             QStringLiteral("In progress: 250 bytes of 1000 bytes"));
    QCOMPARE(dataOf(shown, 0, TransferHistoryModel::ProgressRole).toDouble(), 0.25);
    const QImage image = listOf(shown)->viewport()->grab().toImage();
    QVERIFY(pixelsLike(image, markIn(shown, image, 0), QColor(0x2F, 0x7F, 0xD8)) > 10);

    // Its local file is not there yet: no button to show it.
    QCOMPARE(dataOf(shown, 0, TransferHistoryModel::ShowFileTextRole).toString(), QString());
    const DesktopRecorder desktop;
    clickOpenFolder(shown, 0);
    QCOMPARE(desktop.requests.size(), size_t{0});

    history.updateFileInProgress(750, 1000);
    QTRY_COMPARE(dataOf(shown, 0, TransferHistoryModel::ProgressRole).toDouble(), 0.75);

    history.addRecord(makeRecord("/tmp/big.mov"));
    window->fill();
    QCOMPARE(shownFiles(shown), (QStringList{"/tmp/big.mov", "/tmp/earlier.jpg"}));
    QCOMPARE(dataOf(shown, 0, TransferHistoryModel::MarkRole).value<TransferHistoryModel::Mark>(),
             TransferHistoryModel::Mark::Copied);
}

void CTransferManagerWindowTest::thousandsOfRecordsMakeNoRowWidgets() {
    TemporaryFolder folder;
    // In memory only: the database's folder is a file.
    folder.write("blocked", "");
    TransferHistoryStore history(toZelboString(pathOf(folder / "blocked/history.sqlite")));
    history.addRecord(makeRecord("/tmp/0.jpg"));
    std::unique_ptr<CTransferManagerWindow> small(openWindow(history));
    const qsizetype widgetsOfOneRow = small->findChildren<QWidget*>().size();

    for (int i = 1; i < 10000; ++i)
        history.addRecord(makeRecord(QStringLiteral("/tmp/%1.jpg").arg(i)));
    std::unique_ptr<CTransferManagerWindow> large(openWindow(history));
    QCoreApplication::processEvents();
    QCOMPARE(listOf(large.get())->model()->rowCount(), 10000);
    QCOMPARE(large->findChildren<QWidget*>().size(), widgetsOfOneRow);
    QCOMPARE(shownFiles(large.get()).first(), QStringLiteral("/tmp/9999.jpg"));
}

void CTransferManagerWindowTest::openFolderRevealsThatRowsFileAsAFileUrl() {
    TemporaryFolder folder;
    const QString spaced = pathOf(folder.write("out dir/a b#1.jpg", "x"));
    const QString nonAscii = pathOf(folder.write("Ünïcode/日本 photo.jpg", "x"));
    TransferHistoryStore history(toZelboString(pathOf(folder / "history.sqlite")));
    history.addRecord(makeRecord(spaced));
    history.addRecord(makeRecord(nonAscii));
    history.addRecord(makeRecord(QString()));
    std::unique_ptr<CTransferManagerWindow> window(openWindow(history));

    const DesktopRecorder desktop;
    clickOpenFolder(window.get(), 2);
    clickOpenFolder(window.get(), 1);
    // Neither a row without a path nor a click beside the button reveals anything.
    clickOpenFolder(window.get(), 0);
    QTest::mouseClick(listOf(window.get())->viewport(), Qt::LeftButton, {},
                      pointIn(window.get(), 2, Area::FileName));
    QCoreApplication::processEvents();

    QCOMPARE(desktop.requests.size(), size_t{2});
    QCOMPARE(desktop.requests[0].url, QUrl::fromLocalFile(spaced));
    QVERIFY(desktop.requests[0].url.toEncoded().endsWith("/out%20dir/a%20b%231.jpg"));
    QCOMPARE(desktop.requests[1].url.toLocalFile(), nonAscii);
    QVERIFY(desktop.requests[1].url.toEncoded().endsWith(
        "/%C3%9Cn%C3%AFcode/%E6%97%A5%E6%9C%AC%20photo.jpg"));
    for (const DesktopRecorder::Request& request : desktop.requests)
        QCOMPARE(request.target, FolderReveal::Target::SelectFile);
}

void CTransferManagerWindowTest::aMissingFileOpensItsNearestFolderAndSaysSo() {
    TemporaryFolder folder;
    const QString gone = pathOf(folder / "gone/deeper/a.jpg");
    TransferHistoryStore history(toZelboString(pathOf(folder / "history.sqlite")));
    history.addRecord(makeRecord(gone));
    std::unique_ptr<CTransferManagerWindow> window(openWindow(history));

    {
        const DesktopRecorder desktop;
        const AlertRecorder alerts;
        clickOpenFolder(window.get(), 0);
        QTRY_COMPARE(alerts.texts.size(), 1);
        QCOMPARE(desktop.requests.size(), size_t{1});
        QCOMPARE(desktop.requests[0].url, QUrl::fromLocalFile(pathOf(folder.path())));
        QCOMPARE(desktop.requests[0].target, FolderReveal::Target::OpenFolder);
        QVERIFY2(alerts.texts[0].startsWith("The file is gone | " + gone),
                 qPrintable(alerts.texts[0]));
    }
    {
        // A desktop that cannot show anything is reported, never passed over.
        const DesktopRecorder desktop(false);
        const AlertRecorder alerts;
        clickOpenFolder(window.get(), 0);
        QTRY_COMPARE(alerts.texts.size(), 1);
        QVERIFY2(alerts.texts[0].startsWith("The folder cannot be opened"),
                 qPrintable(alerts.texts[0]));
    }
}

void CTransferManagerWindowTest::placementSizeAndClose() {
    QCOMPARE(CTransferManagerWindow::placement(QRect(100, 50, 800, 600), QSize(493, 230)),
             QPoint(100 + 800 - 493 - 10, 50 + 600 - 230 - 40));

    TemporaryFolder folder;
    TransferHistoryStore history(toZelboString(pathOf(folder / "history.sqlite")));
    QPointer<CTransferManagerWindow> window = openWindow(history);
    QCOMPARE(window->size(), QSize(493, 230));
    QCOMPARE(window->minimumSize(), QSize(493, 230));
    QCOMPARE(window->maximumSize(), QSize(493, 1000));
    QVERIFY(!window->isModal());
    QCOMPARE(window->findChild<QLabel*>(QStringLiteral("titleLabel"))->text(),
             QStringLiteral("Transfers"));

    window->findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
    QTRY_VERIFY(window.isNull());
}

PLOVIK_QTEST(CTransferManagerWindowTest)
#include "ctransfermanagerwindow_test.moc"
