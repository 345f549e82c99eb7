#include <algorithm>

#include <QApplication>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "app/devicetreecontrol.h"
#include "app/devicetreemodel.h"
#include "app/devicetreeview.h"
#include "app/wheelscrollanimation.h"
#include "fstree/filesystemnode.h"
#include "ui/qtestsuite.h"

class DeviceTreeControlTest : public QObject {
    Q_OBJECT
private slots:
    void rowsGoAfterTheirParentsLastDescendant();
    void foldersAreListedOnFirstExpansionOnly();
    void reloadFollowsTheDevices();
    void rebuiltRowsAreListedAgain();
    void deviceCallsRunOnlyInsideTheStepRunner();
    void expansionSurvivesTheDeviceLeavingMeanwhile();
    void expanderZoneFollowsTheLevel();
    void clickInTheExpanderZoneExpandsOutsideOnlySelects();
    void selectionIsReportedAndLeavesDeletedRows();
    void findRowSearchesNearTheSelectionFirst();
    void onlyNamesCutShortHaveToolTips();
    void wheelAnimationArithmetic();
    void wheelScrollsTheViewAndStopsAtTheEnd();
};

namespace {

// A folder of a fake device: its subfolders are what the data source lists.
class FakeFolder : public ZelboLib::FileSystemNode {
public:
    static std::shared_ptr<FakeFolder> make(const QString& name,
                                            std::vector<std::shared_ptr<FakeFolder>> folders = {}) {
        auto folder = std::make_shared<FakeFolder>(ConstructionKey{}, Placement{});
        folder->name = name;
        folder->folders = std::move(folders);
        return folder;
    }
    FakeFolder(ConstructionKey key, Placement placement)
        : FileSystemNode(key, std::move(placement)) {}

    QString name;
    std::vector<std::shared_ptr<FakeFolder>> folders;
    bool listed = false;
};

FakeFolder* folderOf(const DeviceTreeRow* row) {
    return static_cast<FakeFolder*>(row->node.get());
}

class FakeSource : public TreeviewDataSource {
public:
    int numberOfRows(const DeviceTreeRow* row) override {
        noteDeviceCall();
        ++countCalls;
        if (!row)
            return static_cast<int>(devices.size());
        if (!row->node)
            return 0;
        folderOf(row)->listed = true;
        return static_cast<int>(folderOf(row)->folders.size());
    }
    TreeRowText textForRow(const DeviceTreeRow* row, int index) override {
        noteDeviceCall();
        const FakeFolder* folder = folderAt(row, index);
        return {folder->name, row ? QString() : QStringLiteral(":/skin/treeicons/iphone16.svg")};
    }
    NodePointer nodeForRow(const DeviceTreeRow* row, int index) override {
        noteDeviceCall();
        return folderAt(row, index)->shared_from_this();
    }
    bool hasChildren(const DeviceTreeRow* row) override {
        return !row || !row->node || !folderOf(row)->listed || !folderOf(row)->folders.empty();
    }
    void setUpRow(DeviceTreeRow& row) override {
        setUpRows.push_back(row.text.name);
        if (row.level == 0) {
            row.fixedHeight = 24;
            row.background = TreeRowBackground::TopOpaque;
        }
    }

    std::vector<std::shared_ptr<FakeFolder>> devices;
    int countCalls = 0;
    QStringList setUpRows;
    std::mutex threadsLock;
    std::vector<std::thread::id> deviceCallThreads;

private:
    FakeFolder* folderAt(const DeviceTreeRow* row, int index) {
        const auto& list = row ? folderOf(row)->folders : devices;
        return list.at(static_cast<size_t>(index)).get();
    }
    void noteDeviceCall() {
        const std::lock_guard<std::mutex> lock(threadsLock);
        deviceCallThreads.push_back(std::this_thread::get_id());
    }
};

class RecordingDelegate : public TreeviewDelegate {
public:
    // Names are read during the call: a row handed over must be alive then.
    void rowSelected(DeviceTreeRow* selected, DeviceTreeRow* previous) override {
        selections << (selected ? selected->text.name : QStringLiteral("-")) + "<" +
                          (previous ? previous->text.name : QStringLiteral("-"));
    }
    void expandingRows(int count) override { expanding.push_back(count); }
    void rowsExpanded() override { expanding.push_back(-1); }
    void filesDroppedOnRow(DeviceTreeRow&, const QStringList&) override {}

    QStringList selections;
    std::vector<int> expanding;
};

// A shown tree over a phone (Root, Media with DCIM/100APPLE and Books) whose steps run directly.
struct Tree {
    Tree() {
        auto media = FakeFolder::make(
            "Media",
            {FakeFolder::make("DCIM", {FakeFolder::make("100APPLE")}), FakeFolder::make("Books")});
        source.devices = {FakeFolder::make("Phone", {FakeFolder::make("Root"), media})};
        control.setDataSource(&source);
        control.setDelegate(&delegate);
        control.setStepRunner([](QWidget*, const std::function<void()>& step) { step(); });
        control.resize(230, 300);
        control.show();
    }
    DeviceTreeRow* row(const QString& name, const DeviceTreeRow* under = nullptr) const {
        std::vector<DeviceTreeRow*> rows = control.deviceRows();
        if (under) {
            rows.clear();
            for (const auto& child : under->children)
                rows.push_back(child.get());
        }
        const auto found = std::find_if(rows.begin(), rows.end(),
                                        [&name](auto* row) { return row->text.name == name; });
        return found == rows.end() ? nullptr : *found;
    }
    QModelIndex indexOf(const DeviceTreeRow* row) const {
        return static_cast<DeviceTreeModel*>(control.view()->model())->indexOf(row);
    }
    bool isShown(const DeviceTreeRow* row) const {
        return !control.view()->visualRect(indexOf(row)).isEmpty();
    }
    // The names of the rows the view shows, top to bottom.
    QStringList shownNames() const {
        QStringList names;
        auto* view = static_cast<QTreeView*>(control.view());
        for (QModelIndex index = view->model()->index(0, 0); index.isValid();
             index = view->indexBelow(index))
            names << index.data().toString();
        return names;
    }
    QPoint pointIn(const DeviceTreeRow* row, int x) const {
        const QRect rect = control.view()->visualRect(indexOf(row));
        return {rect.left() + x, rect.center().y()};
    }

    FakeSource source;
    RecordingDelegate delegate;
    DeviceTreeControl control;
};

}  // namespace

void DeviceTreeControlTest::rowsGoAfterTheirParentsLastDescendant() {
    Tree tree;
    tree.control.setDataSource(nullptr);
    DeviceTreeRow* a = tree.control.addRow({"A", {}}, nullptr);
    DeviceTreeRow* b = tree.control.addRow({"B", {}}, nullptr);
    DeviceTreeRow* a1 = tree.control.addRow({"a1", {}}, a);
    tree.control.addRow({"a2", {}}, a);
    DeviceTreeRow* a11 = tree.control.addRow({"a11", {}}, a1);

    QCOMPARE(tree.control.deviceRows(), (std::vector<DeviceTreeRow*>{a, b}));
    QCOMPARE(a->level, 0);
    QCOMPARE(a11->level, 2);
    QVERIFY(a->expanded && !a1->expanded);
    QCOMPARE(a->background, TreeRowBackground::Top);
    QCOMPARE(a1->background, TreeRowBackground::None);
    QCOMPARE(tree.shownNames(), (QStringList{"A", "a1", "a2", "B"}));

    tree.control.setExpanded(a1, true);
    QCOMPARE(tree.shownNames(), (QStringList{"A", "a1", "a11", "a2", "B"}));
}

void DeviceTreeControlTest::foldersAreListedOnFirstExpansionOnly() {
    Tree tree;
    tree.control.reload();
    DeviceTreeRow* phone = tree.row("Phone");
    DeviceTreeRow* root = tree.row("Root", phone);
    DeviceTreeRow* media = tree.row("Media", phone);
    QVERIFY(root && media);
    QCOMPARE(media->level, 1);
    QVERIFY(!media->expanded && !media->knownEmpty);

    // A folder without subfolders loses its expander at the first attempt.
    tree.control.setExpanded(root, true);
    QVERIFY(root->children.empty());
    QVERIFY(root->knownEmpty);

    tree.control.setExpanded(media, true);
    DeviceTreeRow* dcim = tree.row("DCIM", media);
    QVERIFY(dcim && tree.row("Books", media));
    QCOMPARE(dcim->node.get(), tree.source.devices[0]->folders[1]->folders[0].get());
    QVERIFY(tree.source.setUpRows.contains("DCIM"));
    QVERIFY(!media->knownEmpty);
    tree.control.setExpanded(dcim, true);
    DeviceTreeRow* apple = tree.row("100APPLE", dcim);
    QVERIFY(tree.isShown(apple));

    // Collapsing hides every descendant; expanding again shows them without listing again.
    const int countCalls = tree.source.countCalls;
    tree.control.setExpanded(media, false);
    QVERIFY(!tree.isShown(dcim) && !tree.isShown(apple));
    QVERIFY(tree.isShown(media));
    tree.control.setExpanded(media, true);
    QVERIFY(tree.isShown(dcim) && tree.isShown(apple));
    QCOMPARE(tree.row("DCIM", media), dcim);
    QCOMPARE(tree.source.countCalls, countCalls);
}

void DeviceTreeControlTest::reloadFollowsTheDevices() {
    Tree tree;
    const auto phone = tree.source.devices[0];
    const auto pad = FakeFolder::make("Pad", {FakeFolder::make("Media")});
    tree.source.devices.push_back(pad);
    tree.control.reload();

    const std::vector<DeviceTreeRow*> rows = tree.control.deviceRows();
    QCOMPARE(rows.size(), size_t(2));
    QCOMPARE(rows[0]->text.name, QStringLiteral("Phone"));
    QCOMPARE(rows[1]->node.get(), pad.get());
    QCOMPARE(rows[1]->fixedHeight, 24);  // set up by the data source
    // Each new device row is expanded, its areas listed.
    QVERIFY(rows[0]->expanded && rows[1]->expanded);
    QCOMPARE(rows[0]->children.size(), size_t(2));
    DeviceTreeRow* padMedia = tree.row("Media", rows[1]);
    QVERIFY(tree.isShown(padMedia));

    tree.control.reload();
    QCOMPARE(tree.control.deviceRows(), rows);

    // The phone leaves: its rows go, the pad's stay as they were.
    tree.source.devices = {pad};
    tree.control.reload();
    QCOMPARE(tree.control.deviceRows(), std::vector<DeviceTreeRow*>{rows[1]});
    QCOMPARE(tree.row("Media", rows[1]), padMedia);

    // The phone comes back as a new device node: a new row, after the pad's.
    const auto phoneAgain = FakeFolder::make("Phone", {FakeFolder::make("Media")});
    tree.source.devices = {pad, phoneAgain};
    tree.control.reload();
    QCOMPARE(tree.control.deviceRows().size(), size_t(2));
    QCOMPARE(tree.control.deviceRows()[0], rows[1]);
    QCOMPARE(tree.control.deviceRows()[1]->node.get(), phoneAgain.get());
    QCOMPARE(tree.control.deviceRows()[1]->children.size(), size_t(1));
}

void DeviceTreeControlTest::rebuiltRowsAreListedAgain() {
    Tree tree;
    tree.control.reload();
    DeviceTreeRow* media = tree.row("Media", tree.row("Phone"));
    tree.control.setExpanded(media, true);
    DeviceTreeRow* books = tree.row("Books", media);

    // Books was listed and found empty (by the file list, say): a redraw drops its expander.
    QVERIFY(!books->knownEmpty);
    folderOf(books)->listed = true;
    tree.control.redrawRow(books);
    QVERIFY(books->knownEmpty);

    // A folder made on the device shows after a rebuild and the next expansion.
    folderOf(media)->folders.push_back(FakeFolder::make("Notes"));
    tree.control.rebuildChildren(media);
    QVERIFY(media->children.empty());
    QVERIFY(media->expanded);
    const int countCalls = tree.source.countCalls;
    tree.control.setExpanded(media, false);
    tree.control.setExpanded(media, true);
    QCOMPARE(tree.source.countCalls, countCalls + 1);
    QCOMPARE(media->children.size(), size_t(3));
    QVERIFY(tree.isShown(tree.row("Notes", media)));
}

void DeviceTreeControlTest::deviceCallsRunOnlyInsideTheStepRunner() {
    Tree tree;
    QWidget fileList;
    std::vector<QWidget*> hosts;
    tree.control.setBusyIndicatorHost(&fileList);
    tree.control.setStepRunner([&hosts](QWidget* over, const std::function<void()>& step) {
        hosts.push_back(over);
        std::thread worker(step);
        worker.join();
    });

    tree.control.reload();
    DeviceTreeRow* media = tree.row("Media", tree.row("Phone"));
    QTest::mouseClick(tree.control.view()->viewport(), Qt::LeftButton, {}, tree.pointIn(media, 20));
    QVERIFY(media->expanded);
    tree.control.setExpanded(tree.row("DCIM", media), true);
    tree.control.redrawRow(tree.row("Books", media));

    QVERIFY(tree.isShown(tree.row("100APPLE", tree.row("DCIM", media))));
    QVERIFY(!tree.source.deviceCallThreads.empty());
    for (const std::thread::id thread : tree.source.deviceCallThreads)
        QVERIFY(thread != std::this_thread::get_id());
    QCOMPARE(hosts.size(), size_t(5));  // devices, phone, count for the click, Media, DCIM
    for (QWidget* host : hosts)
        QCOMPARE(host, &fileList);
}

void DeviceTreeControlTest::expansionSurvivesTheDeviceLeavingMeanwhile() {
    Tree tree;
    tree.control.reload();
    DeviceTreeRow* media = tree.row("Media", tree.row("Phone"));
    // The unplug is handled while the step waits, before the worker asks about the row.
    bool unplug = true;
    tree.control.setStepRunner([&](QWidget*, const std::function<void()>& step) {
        if (std::exchange(unplug, false)) {
            tree.source.devices.clear();
            tree.control.reload();
        }
        step();
    });
    const int countCalls = tree.source.countCalls;
    QTest::mouseClick(tree.control.view()->viewport(), Qt::LeftButton, {}, tree.pointIn(media, 20));
    QVERIFY(tree.control.deviceRows().empty());
    QCOMPARE(tree.source.countCalls, countCalls + 2);  // the devices, then the gone row's count
    QVERIFY(tree.delegate.expanding.empty());
}

void DeviceTreeControlTest::expanderZoneFollowsTheLevel() {
    DeviceTreeRow row;
    QCOMPARE(DeviceTreeControl::expanderZone(row), std::make_pair(0, 0));
    row.level = 0;
    QCOMPARE(DeviceTreeControl::expanderZone(row), std::make_pair(-1, 23));
    row.level = 2;
    QCOMPARE(DeviceTreeControl::expanderZone(row), std::make_pair(23, 47));
}

void DeviceTreeControlTest::clickInTheExpanderZoneExpandsOutsideOnlySelects() {
    Tree tree;
    tree.control.reload();
    DeviceTreeRow* media = tree.row("Media", tree.row("Phone"));
    QWidget* viewport = tree.control.view()->viewport();

    // Level 1: the zone is [11, 35).
    QTest::mouseClick(viewport, Qt::LeftButton, {}, tree.pointIn(media, 35));
    QCOMPARE(tree.control.selectedRow(), media);
    QVERIFY(!media->expanded);
    QVERIFY(tree.delegate.expanding.empty());

    // The announcement of the listing, then its end (the status line is written back).
    QTest::mouseClick(viewport, Qt::LeftButton, {}, tree.pointIn(media, 11));
    QVERIFY(media->expanded);
    QCOMPARE(tree.delegate.expanding, (std::vector<int>{2, -1}));
    QVERIFY(tree.isShown(tree.row("DCIM", media)));

    QTest::mouseClick(viewport, Qt::LeftButton, {}, tree.pointIn(media, 34));
    QVERIFY(!media->expanded);
    QVERIFY(!tree.isShown(tree.row("DCIM", media)));

    // A double click anywhere toggles at once (as the system sends it: press, release, double
    // click, release).
    const auto doubleClick = [&] {
        QTest::mouseClick(viewport, Qt::LeftButton, {}, tree.pointIn(media, 100));
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, tree.pointIn(media, 100));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, tree.pointIn(media, 100));
    };
    doubleClick();
    QVERIFY(media->expanded);
    doubleClick();
    QVERIFY(!media->expanded);
    QCOMPARE(tree.delegate.expanding, (std::vector<int>{2, -1}));
}

void DeviceTreeControlTest::selectionIsReportedAndLeavesDeletedRows() {
    Tree tree;
    tree.control.reload();
    DeviceTreeRow* phone = tree.row("Phone");
    DeviceTreeRow* media = tree.row("Media", phone);
    tree.control.setExpanded(media, true);

    tree.control.selectRow(phone);
    tree.control.selectRow(tree.row("DCIM", media));
    QCOMPARE(tree.control.selectedRow(), tree.row("DCIM", media));

    // Deleting the selected row moves the selection to its next sibling, else the one before,
    // else its parent, before the row goes.
    tree.control.deleteRow(tree.row("DCIM", media));
    QCOMPARE(tree.control.selectedRow(), tree.row("Books", media));
    tree.control.deleteRow(tree.row("Books", media));
    QCOMPARE(tree.control.selectedRow(), media);

    // A rebuild that takes the selected row selects the rebuilt row.
    tree.control.setExpanded(media, false);
    tree.control.setExpanded(media, true);
    tree.control.selectRow(tree.row("Books", media));
    tree.control.rebuildChildren(phone);
    QCOMPARE(tree.control.selectedRow(), phone);

    tree.control.selectRow(nullptr);
    QCOMPARE(tree.control.selectedRow(), nullptr);
    QCOMPARE(tree.delegate.selections,
             (QStringList{"Phone<-", "DCIM<Phone", "Books<DCIM", "Media<Books", "Books<Media",
                          "Phone<Books", "-<Phone"}));
}

void DeviceTreeControlTest::findRowSearchesNearTheSelectionFirst() {
    Tree tree;
    // The same node under two devices tells the search order apart.
    const auto shared = FakeFolder::make("Shared");
    tree.source.devices[0]->folders.push_back(shared);
    tree.source.devices.push_back(FakeFolder::make("Pad", {shared}));
    tree.control.reload();
    DeviceTreeRow* phone = tree.row("Phone");
    DeviceTreeRow* pad = tree.row("Pad");
    DeviceTreeRow* phoneShared = tree.row("Shared", phone);
    DeviceTreeRow* padShared = tree.row("Shared", pad);

    QCOMPARE(tree.control.findRow(shared.get()), phoneShared);
    tree.control.selectRow(pad);
    QCOMPARE(tree.control.findRow(shared.get()), padShared);
    tree.control.selectRow(phoneShared);
    QCOMPARE(tree.control.findRow(shared.get()), phoneShared);
    QCOMPARE(tree.control.findRow(pad->node.get()), pad);

    DeviceTreeRow* media = tree.row("Media", phone);
    QCOMPARE(tree.control.findRow(media->node.get()), media);
    const auto stranger = FakeFolder::make("Stranger");
    QCOMPARE(tree.control.findRow(stranger.get()), nullptr);
    QCOMPARE(tree.control.childRow(nullptr, pad->node.get()), pad);
    QCOMPARE(tree.control.childRow(pad, media->node.get()), nullptr);
}

void DeviceTreeControlTest::onlyNamesCutShortHaveToolTips() {
    Tree tree;
    const QString longName =
        QStringLiteral("A folder with a name far too long for the tree's width");
    tree.source.devices[0]->folders.push_back(FakeFolder::make(longName));
    tree.control.reload();
    DeviceTreeRow* phone = tree.row("Phone");
    const auto toolTipOver = [&](const DeviceTreeRow* row) {
        const QPoint point = tree.pointIn(row, 40);
        QHelpEvent help(QEvent::ToolTip, point,
                        tree.control.view()->viewport()->mapToGlobal(point));
        QApplication::sendEvent(tree.control.view()->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    // Asked first: a tip that was shown fades out only after a while.
    QCOMPARE(toolTipOver(tree.row("Media", phone)), QString());
    QCOMPARE(toolTipOver(tree.row(longName, phone)), longName);
}

void DeviceTreeControlTest::wheelAnimationArithmetic() {
    using Direction = WheelScrollAnimation::Direction;
    WheelScrollAnimation animation;
    QVERIFY(!animation.isRunning());

    animation.addNotch(Direction::Up);
    QCOMPARE(animation.velocity(), 8.0);
    QCOMPARE(animation.totalTicks(), 10);  // 5 x floor(sqrt 8)
    QCOMPARE(animation.nextTick(), 8.0 * 0.81);
    for (int tick = 0; tick < 4; ++tick)
        animation.nextTick();
    QCOMPARE(animation.pendingVelocity(), 2.0);

    // A notch against the motion replaces v by what is pending, then turns it by 12.
    animation.addNotch(Direction::Down);
    QCOMPARE(animation.velocity(), -10.0);
    QCOMPARE(animation.totalTicks(), 15);
    animation.addNotch(Direction::Down);
    QCOMPARE(animation.velocity(), -18.0);
    animation.addNotch(Direction::Up);
    QCOMPARE(animation.velocity(), -6.0);

    for (int notch = 0; notch < 20; ++notch)
        animation.addNotch(Direction::Up);
    QCOMPARE(animation.velocity(), 100.0);
    QCOMPARE(animation.totalTicks(), 50);
    int ticks = 0;
    double last = 0.0;
    while (animation.isRunning()) {
        last = animation.nextTick();
        ++ticks;
    }
    QCOMPARE(ticks, 50);
    QCOMPARE(last, 0.0);
    QCOMPARE(animation.pendingVelocity(), 0.0);

    animation.stop();
    animation.addNotch(Direction::Down);
    QCOMPARE(animation.velocity(), -8.0);
}

void DeviceTreeControlTest::wheelScrollsTheViewAndStopsAtTheEnd() {
    Tree tree;
    tree.control.setDataSource(nullptr);
    for (int row = 0; row < 60; ++row)
        tree.control.addRow({QString::number(row), {}}, nullptr);
    auto* view = static_cast<DeviceTreeView*>(tree.control.view());
    QScrollBar* bar = view->verticalScrollBar();
    QVERIFY(QTest::qWaitForWindowExposed(&tree.control));
    QTRY_VERIFY(bar->maximum() > 100);
    const auto turnWheel = [view](int delta) {
        const QPointF point(50, 50);
        QWheelEvent event(point, view->viewport()->mapToGlobal(point), {}, QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view->viewport(), &event);
    };

    // One notch down at 8 pixels: ticks of 8 x (9/10)^2, 8 x (8/10)^2, ... rounded.
    turnWheel(-120);
    QTRY_VERIFY(!view->wheelAnimation().isRunning());
    QCOMPARE(bar->value(), 6 + 5 + 4 + 3 + 2 + 1 + 1);

    // At the top the animation ends at its next tick.
    turnWheel(60);
    turnWheel(60);
    QTRY_VERIFY(!view->wheelAnimation().isRunning());
    QCOMPARE(bar->value(), 0);
    turnWheel(120);
    QVERIFY(view->wheelAnimation().isRunning());
    QTest::qWait(2 * DeviceTreeView::kWheelTickMs + 20);
    QVERIFY(!view->wheelAnimation().isRunning());
    QCOMPARE(bar->value(), 0);
}

PLOVIK_QTEST(DeviceTreeControlTest)
#include "devicetreecontrol_test.moc"
