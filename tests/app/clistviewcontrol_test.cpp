#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPixmap>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QThread>
#include <QTreeView>
#include <QUrl>
#include <atomic>
#include <thread>

#include "app/clistviewcontrol.h"
#include "app/filelistitemdelegate.h"
#include "app/filelistmodel.h"
#include "app/imagefit.h"
#include "app/listviewdatasource.h"
#include "app/listviewdelegate.h"
#include "app/thumbnailrequester.h"
#include "app/viewstyle.h"
#include "ui/qtestsuite.h"

class CListviewControlTest : public QObject {
    Q_OBJECT
private slots:
    void largeFoldersAskOnlyForPaintedRows();
    void reloadStartsAFreshGeneration();
    void reloadCountsOnTheRunnersWorker();
    void viewStyleSwitching();
    void thumbnailsForPaintedFilesOnce();
    void itemsFillInAndMoveWithTheirSelectionAndThumbnails();
    void aLongScrollKeepsTheNearestThumbnails();
    void fittingRule();
    void selectionReports();
    void headerAndContextMenu();
    void droppedFiles();
    void layoutAttributes();
};

namespace {

QIcon solidIcon(const QColor& colour) {
    QPixmap pixmap(32, 32);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

class FakeSource : public ListviewDataSource {
public:
    int columnCount() override { return 4; }
    QString columnTitle(int column) override {
        const QStringList titles{"Name", "File Size", "File Type", "Modified Date"};
        return column >= 0 && column < titles.size() ? titles[column] : QString();
    }
    int columnWidth(int column) override { return column == 3 ? 200 : 120; }
    int itemCount() override {
        countThread = QThread::currentThread();
        return count;
    }
    QString text(int item, int column) override {
        ++textCalls;
        textRows.insert(item);
        return item < count ? QStringLiteral("item %1.%2").arg(item).arg(column) : QString();
    }
    bool isFolder(int item) override { return folders.contains(item); }
    QIcon icon(int item) override {
        iconRows.insert(item);
        return solidIcon(Qt::blue);
    }
    int sortColumn() override { return sortedColumn; }
    bool sortAscending() override { return true; }

    std::atomic<int> count = 0;
    std::atomic<QThread*> countThread = nullptr;
    QSet<int> folders;
    int sortedColumn = -1;
    int textCalls = 0;
    QSet<int> textRows;
    QSet<int> iconRows;
};

class FakeDelegate : public ListviewDelegate {
public:
    void rightClick(int item, QPoint globalPosition) override {
        rightClicks << item;
        lastRightClickAt = globalPosition;
    }
    void itemChanged(int item) override { itemChanges << item; }
    void doubleClick(int item) override { doubleClicks << item; }
    void filesDropped(const QStringList& paths, QPoint position) override {
        dropped << paths;
        droppedAt = position;
    }
    void headerClicked(int column) override { headerClicks << column; }

    QList<int> rightClicks;
    QPoint lastRightClickAt;
    QList<int> itemChanges;
    QList<int> doubleClicks;
    QStringList dropped;
    QPoint droppedAt;
    QList<int> headerClicks;
};

class FakeRequester : public ThumbnailRequester {
public:
    void requestThumbnail(int item, std::uint32_t generation) override {
        requests << qMakePair(item, generation);
    }
    void thumbnailStillWanted(int item, std::uint32_t generation) override {
        stillWanted << qMakePair(item, generation);
    }
    void stopThumbnails() override { ++stops; }

    QList<QPair<int, std::uint32_t>> requests;
    QList<QPair<int, std::uint32_t>> stillWanted;
    int stops = 0;
};

// The list with fakes around it, counting on the GUI thread.
struct Harness {
    explicit Harness(int count, std::uint32_t style = 1) {
        source.count = count;
        list.setStepRunner([](QWidget*, const std::function<void()>& step) { step(); });
        list.setDataSource(&source);
        list.setDelegate(&delegate);
        list.setThumbnailRequester(&requester);
        list.initialise();
        list.setViewStyle(style);
        list.resize(800, 600);
    }
    void show() {
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        settle();
    }
    void settle() {
        QCoreApplication::processEvents();
        list.currentView()->viewport()->repaint();
    }
    QPoint centreOf(int item) const {
        const QAbstractItemView* view = list.currentView();
        return view->visualRect(view->model()->index(item, 0)).center();
    }

    FakeSource source;
    FakeDelegate delegate;
    FakeRequester requester;
    CListviewControl list;
};

int largest(const QSet<int>& rows) {
    return rows.isEmpty() ? -1 : *std::max_element(rows.begin(), rows.end());
}

}  // namespace

void CListviewControlTest::largeFoldersAskOnlyForPaintedRows() {
    Harness harness(20000);
    harness.list.reload();
    harness.show();
    QCOMPARE(harness.list.itemCount(), 20000);
    QVERIFY(!harness.source.textRows.isEmpty());
    QVERIFY2(largest(harness.source.textRows) < 60, "only a screenful of rows is asked");
    QVERIFY(largest(harness.source.iconRows) < 60);

    // Painting again asks nothing: the texts are cached per row.
    const int calls = harness.source.textCalls;
    harness.settle();
    QCOMPARE(harness.source.textCalls, calls);

    harness.list.setViewStyle(static_cast<std::uint32_t>(ViewStyle::ExtraLargeIcons));
    harness.settle();
    QVERIFY(largest(harness.source.textRows) < 60);

    // Until a reload drops the cache.
    harness.list.reload();
    harness.settle();
    QVERIFY(harness.source.textCalls > calls);
}

void CListviewControlTest::reloadStartsAFreshGeneration() {
    Harness harness(5);
    harness.list.reload();
    harness.list.selectItem(2);
    QCOMPARE(harness.list.selectedItems(), QList<int>{2});
    QCOMPARE(harness.delegate.itemChanges.last(), 2);

    const std::uint32_t before = harness.list.generation();
    const int stops = harness.requester.stops;
    harness.source.count = 7;
    harness.list.reload();
    QVERIFY(harness.list.generation() != before);
    QCOMPARE(harness.requester.stops, stops + 1);
    QCOMPARE(harness.list.itemCount(), 7);
    QVERIFY(harness.list.selectedItems().isEmpty());
    QCOMPARE(harness.delegate.itemChanges.last(), -1);

    // A stale thumbnail is dropped; an item beyond the count is ignored.
    harness.list.thumbnailReady(1, before, QImage(10, 10, QImage::Format_RGB32));
    harness.list.thumbnailReady(99, harness.list.generation(),
                                QImage(10, 10, QImage::Format_RGB32));

    // Without a data source there are no rows.
    harness.list.setDataSource(nullptr);
    harness.list.reload();
    QCOMPARE(harness.list.itemCount(), 0);
}

void CListviewControlTest::reloadCountsOnTheRunnersWorker() {
    Harness harness(12);
    int rowsDuringStep = -1;
    int runs = 0;
    bool nested = false;
    harness.list.setStepRunner([&](QWidget* over, const std::function<void()>& step) {
        ++runs;
        QVERIFY(over);
        rowsDuringStep = harness.list.currentView()->model()->rowCount();
        std::thread worker(step);
        worker.join();
        // A reload asked for meanwhile (from the runner's event loop) waits for this one.
        if (!nested) {
            nested = true;
            harness.list.reload();
            QCOMPARE(runs, 1);
        }
    });
    harness.list.reload();
    QCOMPARE(rowsDuringStep, 0);
    QVERIFY(harness.source.countThread != QThread::currentThread());
    QCOMPARE(runs, 2);
    QCOMPARE(harness.list.itemCount(), 12);
    QCOMPARE(harness.delegate.itemChanges, QList<int>{-1});
}

void CListviewControlTest::viewStyleSwitching() {
    Harness harness(5, static_cast<std::uint32_t>(ViewStyle::LargeIcons));
    harness.list.reload();
    harness.list.selectItem(1);
    const std::uint32_t generation = harness.list.generation();
    const int stops = harness.requester.stops;
    const auto changes = harness.delegate.itemChanges;

    // The same style does nothing; another one switches without reloading.
    harness.list.setViewStyle(static_cast<std::uint32_t>(ViewStyle::LargeIcons));
    harness.list.setViewStyle(static_cast<std::uint32_t>(ViewStyle::Details));
    QVERIFY(qobject_cast<QTreeView*>(harness.list.currentView()));
    QCOMPARE(harness.list.generation(), generation);
    QCOMPARE(harness.requester.stops, stops);
    QCOMPARE(harness.delegate.itemChanges, changes);
    QCOMPARE(harness.list.selectedItems(), QList<int>{1});

    // An unknown code is only stored.
    QAbstractItemView* shown = harness.list.currentView();
    harness.list.setViewStyle(9);
    QCOMPARE(harness.list.viewStyle(), 9u);
    QCOMPARE(harness.list.currentView(), shown);
    harness.list.setViewStyle(static_cast<std::uint32_t>(ViewStyle::Tiles));
    QVERIFY(!qobject_cast<QTreeView*>(harness.list.currentView()));
}

void CListviewControlTest::thumbnailsForPaintedFilesOnce() {
    const auto style = ViewStyle::ExtraLargeIcons;
    Harness harness(40, static_cast<std::uint32_t>(style));
    harness.source.folders = {1};
    harness.list.reload();
    harness.show();
    harness.settle();

    const std::uint32_t generation = harness.list.generation();
    QSet<int> requested;
    for (const auto& [item, tokenOfRequest] : harness.requester.requests) {
        QCOMPARE(tokenOfRequest, generation);
        QVERIFY2(!requested.contains(item), "one request per row");
        requested.insert(item);
    }
    QVERIFY(requested.contains(0));
    QVERIFY(!requested.contains(1));   // a folder shows its icon
    QVERIFY(!requested.contains(39));  // not painted
    QVERIFY(requested.size() < 20);
    // Painted again without a thumbnail, a row is still wanted rather than asked for again.
    harness.requester.stillWanted.clear();
    harness.settle();
    QVERIFY(harness.requester.stillWanted.contains(qMakePair(0, generation)));
    QCOMPARE(harness.requester.requests.size(), requested.size());

    QAbstractItemView* view = harness.list.currentView();
    const QRect image =
        FileListItemDelegate::imageRect(style, view->visualRect(view->model()->index(0, 0)));
    QImage red(40, 40, QImage::Format_RGB32);
    red.fill(Qt::red);
    const auto pixelAtImage = [&] {
        return view->viewport()->grab().toImage().pixelColor(image.center());
    };
    harness.list.thumbnailReady(0, generation + 1, red);
    QCOMPARE(pixelAtImage(), QColor(Qt::blue));
    harness.list.thumbnailReady(0, generation, red);
    QCOMPARE(pixelAtImage(), QColor(Qt::red));

    // The small styles never ask.
    harness.list.setViewStyle(static_cast<std::uint32_t>(ViewStyle::Details));
    harness.list.reload();
    harness.requester.requests.clear();
    harness.settle();
    QVERIFY(harness.requester.requests.isEmpty());
}

namespace {

QImage thumbnailAt(const CListviewControl& list, int row) {
    const QAbstractItemModel* model = list.currentView()->model();
    return model->index(row, 0).data(FileListModel::ThumbnailRole).value<QImage>();
}

QImage redImage() {
    QImage red(40, 40, QImage::Format_RGB32);
    red.fill(Qt::red);
    return red;
}

}  // namespace

void CListviewControlTest::itemsFillInAndMoveWithTheirSelectionAndThumbnails() {
    Harness harness(40, static_cast<std::uint32_t>(ViewStyle::ExtraLargeIcons));
    harness.list.reload();
    harness.show();
    const std::uint32_t before = harness.list.generation();
    harness.list.thumbnailReady(0, before, redImage());
    harness.list.selectItem(2);

    // A changed item is asked again; the others keep what they had.
    harness.source.textRows.clear();
    harness.list.itemsChanged({3, 99});
    harness.settle();
    QVERIFY(harness.source.textRows.contains(3));
    QVERIFY(!harness.source.textRows.contains(2));
    QVERIFY(!thumbnailAt(harness.list, 0).isNull());

    std::vector<int> reversed(40);
    for (int row = 0; row < 40; ++row)
        reversed[static_cast<std::size_t>(row)] = 39 - row;
    harness.requester.requests.clear();
    QScrollBar* bar = harness.list.currentView()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    const int scrolled = bar->value();
    QVERIFY(scrolled > 0);
    harness.list.itemsMoved(reversed);
    harness.settle();
    QCOMPARE(bar->value(), scrolled);
    QVERIFY(harness.list.generation() != before);
    QCOMPARE(harness.list.selectedItems(), QList<int>{37});
    QVERIFY(!thumbnailAt(harness.list, 39).isNull());
    QVERIFY(thumbnailAt(harness.list, 0).isNull());
    // Rows painted without a thumbnail are asked for again, under the new generation.
    harness.settle();
    QVERIFY(!harness.requester.requests.isEmpty());
    for (const auto& [item, generation] : harness.requester.requests)
        QCOMPARE(generation, harness.list.generation());
    // A move of another count is not this list's.
    harness.list.itemsMoved({0, 1});
    QCOMPARE(harness.list.selectedItems(), QList<int>{37});
}

void CListviewControlTest::aLongScrollKeepsTheNearestThumbnails() {
    const int kept = static_cast<int>(FileListModel::kThumbnailsKept);
    Harness harness(kept + 10, static_cast<std::uint32_t>(ViewStyle::ExtraLargeIcons));
    harness.list.reload();
    for (int row = 0; row <= kept; ++row)
        harness.list.thumbnailReady(row, harness.list.generation(), redImage());
    QVERIFY(thumbnailAt(harness.list, 0).isNull());
    QVERIFY(!thumbnailAt(harness.list, 1).isNull());
    QVERIFY(!thumbnailAt(harness.list, kept).isNull());
}

void CListviewControlTest::fittingRule() {
    const QRect box(10, 20, 160, 160);
    // No larger than the box: kept, centred.
    QCOMPARE(fittedImageRect(QSize(50, 40), box), QRect(65, 80, 50, 40));
    QCOMPARE(fittedImageRect(QSize(160, 160), box), box);
    // Larger: scaled by the smaller ratio, sides truncated.
    QCOMPARE(fittedImageSize(QSize(320, 160), box.size()), QSize(160, 80));
    QCOMPARE(fittedImageSize(QSize(300, 200), box.size()), QSize(160, 106));
    QCOMPARE(fittedImageSize(QSize(100, 400), QSize(80, 80)), QSize(20, 80));
    // Never below one pixel; nothing to draw for an empty image.
    QCOMPARE(fittedImageSize(QSize(1000, 1), QSize(80, 80)), QSize(80, 1));
    QCOMPARE(fittedImageSize(QSize(1, 5000), QSize(80, 80)), QSize(1, 80));
    QVERIFY(fittedImageSize(QSize(0, 0), QSize(80, 80)).isEmpty());
}

void CListviewControlTest::selectionReports() {
    Harness harness(10);
    harness.list.reload();
    harness.show();
    QWidget* viewport = harness.list.currentView()->viewport();

    QTest::mouseClick(viewport, Qt::LeftButton, {}, harness.centreOf(1));
    QCOMPARE(harness.delegate.itemChanges.last(), 1);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, harness.centreOf(3));
    QCOMPARE(harness.delegate.itemChanges.last(), 3);
    QCOMPARE(harness.list.selectedItems(), (QList<int>{1, 3}));
    // Ctrl+click takes the current row out: the row still selected is reported, not "none".
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, harness.centreOf(3));
    QCOMPARE(harness.list.selectedItems(), QList<int>{1});
    QCOMPARE(harness.delegate.itemChanges.last(), 1);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, harness.centreOf(3));

    // A key move reports the row it moves to.
    QTest::keyClick(harness.list.currentView(), Qt::Key_Down);
    QCOMPARE(harness.delegate.itemChanges.last(), 4);
    QCOMPARE(harness.list.selectedItems(), QList<int>{4});

    QTest::mouseClick(viewport, Qt::LeftButton, {}, harness.centreOf(2));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, harness.centreOf(2));
    QCOMPARE(harness.delegate.doubleClicks, QList<int>{2});

    harness.delegate.itemChanges.clear();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(20, viewport->height() - 5));
    QCOMPARE(harness.delegate.itemChanges, QList<int>{-1});
    QVERIFY(harness.list.selectedItems().isEmpty());
}

void CListviewControlTest::headerAndContextMenu() {
    Harness harness(10);
    harness.list.reload();
    harness.show();
    auto* tree = qobject_cast<QTreeView*>(harness.list.currentView());
    QVERIFY(tree);
    QHeaderView* header = tree->header();
    QCOMPARE(header->sectionSize(3), 200);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 10, header->height() / 2));
    QCOMPARE(harness.delegate.headerClicks, QList<int>{2});

    QWidget* viewport = tree->viewport();
    const auto rightClickAt = [&](QPoint point) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, point, viewport->mapToGlobal(point));
        QCoreApplication::sendEvent(viewport, &event);
    };
    rightClickAt(QPoint(20, viewport->height() - 5));
    QCOMPARE(harness.delegate.rightClicks, QList<int>{-1});
    rightClickAt(harness.centreOf(6));
    QCOMPARE(harness.delegate.rightClicks.last(), 6);
    QCOMPARE(harness.delegate.lastRightClickAt, viewport->mapToGlobal(harness.centreOf(6)));

    // The menu key names the first selected item.
    harness.list.selectItem(4);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0),
                          tree->mapToGlobal(QPoint(0, 0)));
    QCoreApplication::sendEvent(tree, &key);
    QCOMPARE(harness.delegate.rightClicks.last(), 4);
}

void CListviewControlTest::droppedFiles() {
    Harness harness(3);
    harness.list.reload();
    harness.show();
    QWidget* viewport = harness.list.currentView()->viewport();

    QMimeData remoteOnly;
    remoteOnly.setUrls({QUrl(QStringLiteral("https://example.org/a.jpg"))});
    QDragEnterEvent refused(QPoint(30, 30), Qt::CopyAction, &remoteOnly, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &refused);
    QVERIFY(!refused.isAccepted());

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a b.jpg")),
                   QUrl(QStringLiteral("https://example.org/x")),
                   QUrl::fromLocalFile(QStringLiteral("/tmp/folder"))});
    QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, &files, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(30, 40), Qt::CopyAction, &files, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &drop);
    QCOMPARE(harness.delegate.dropped, (QStringList{"/tmp/a b.jpg", "/tmp/folder"}));
    QCOMPARE(harness.delegate.droppedAt, viewport->mapTo(&harness.list, QPoint(30, 40)));
}

void CListviewControlTest::layoutAttributes() {
    // As the layout loader sets them: texts, and numbers where a layout gives numbers.
    FakeSource source;
    source.count = 3;
    CListviewControl list;
    list.setProperty("itembkcolor", QStringLiteral("#FF102030"));
    list.setProperty("selectionbkstart", QStringLiteral("#FF00FF00"));
    list.setProperty("selectionbkend", -1);
    list.setProperty("selectionborderwidth", QStringLiteral("0"));
    list.setProperty("selectionbordercorner", 0);
    list.setStepRunner([](QWidget*, const std::function<void()>& step) { step(); });
    list.setDataSource(&source);
    list.initialise();
    list.setViewStyle(static_cast<std::uint32_t>(ViewStyle::SmallIcons));
    list.resize(800, 600);
    list.reload();
    list.selectItem(0);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCoreApplication::processEvents();

    QAbstractItemView* view = list.currentView();
    const QImage shot = view->viewport()->grab().toImage();
    const QRect selected = view->visualRect(view->model()->index(0, 0));
    const QRect plain = view->visualRect(view->model()->index(1, 0));
    // A plain square selection fill in the start colour; other items on the item background.
    QCOMPARE(shot.pixelColor(selected.topRight() + QPoint(-2, 2)), QColor(0, 255, 0));
    QCOMPARE(shot.pixelColor(plain.topRight() + QPoint(-2, 2)), QColor(0x10, 0x20, 0x30));

    // The Details header: the list background lightened by 30, right of the last column too.
    list.setViewStyle(static_cast<std::uint32_t>(ViewStyle::Details));
    QCoreApplication::processEvents();
    QHeaderView* header = qobject_cast<QTreeView*>(list.currentView())->header();
    const QImage headerShot = header->viewport()->grab().toImage();
    QCOMPARE(headerShot.pixelColor(header->length() + 20, 2),
             QColor(0x10 + 30, 0x20 + 30, 0x30 + 30));
}

PLOVIK_QTEST(CListviewControlTest)
#include "clistviewcontrol_test.moc"
