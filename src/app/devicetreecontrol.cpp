#include "app/devicetreecontrol.h"

#include <algorithm>

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QVBoxLayout>

#include "app/devicetreemodel.h"
#include "app/devicetreerowdelegate.h"
#include "app/devicetreeview.h"
#include "fstree/filesystemnode.h"

namespace {

constexpr int kIndentPerLevel = 12;
constexpr int kExpanderZoneStart = -1;
constexpr int kExpanderZoneEnd = 23;

/** A row as the data source's device calls see it: valid however long the step takes. */
std::unique_ptr<DeviceTreeRow> detachedCopy(const DeviceTreeRow& row) {
    auto copy = std::make_unique<DeviceTreeRow>();
    copy->level = row.level;
    copy->expanded = row.expanded;
    copy->knownEmpty = row.knownEmpty;
    copy->text = row.text;
    copy->node = row.node;
    copy->fixedHeight = row.fixedHeight;
    copy->background = row.background;
    return copy;
}

struct ListedRow {
    TreeRowText text;
    TreeviewDataSource::NodePointer node;
};

bool isWithin(const DeviceTreeRow* row, const DeviceTreeRow& ancestor) {
    for (; row; row = row->parent) {
        if (row == &ancestor)
            return true;
    }
    return false;
}

bool sameDevice(const DeviceTreeRow& row, const ListedRow& device) {
    return row.text.name == device.text.name && row.node == device.node;
}

DeviceTreeRow* findInOrder(const DeviceTreeRow& from, const ZelboLib::FileSystemNode* node) {
    for (const auto& child : from.children) {
        if (child->node.get() == node)
            return child.get();
        if (DeviceTreeRow* found = findInOrder(*child, node))
            return found;
    }
    return nullptr;
}

}  // namespace

struct DeviceTreeControl::Private {
    DeviceTreeModel model;
    DeviceTreeView* view = nullptr;
    TreeviewDataSource* dataSource = nullptr;
    TreeviewDelegate* delegate = nullptr;
    StepRunner runner = runDeviceStep;
    QPointer<QWidget> busyHost;

    void runStep(QWidget* fallbackHost, const std::function<void()>& step) {
        runner(busyHost ? busyHost.data() : fallbackHost, step);
    }

    /** Runs in a step: what the data source lists below row (null for the devices). */
    std::vector<ListedRow> listRows(const DeviceTreeRow* row) {
        std::vector<ListedRow> listed;
        const int count = dataSource->numberOfRows(row);
        for (int index = 0; index < count; ++index)
            listed.push_back(
                {dataSource->textForRow(row, index), dataSource->nodeForRow(row, index)});
        return listed;
    }

    /** Qt's view shows a row's children exactly when the row and its ancestors are expanded. */
    void mirrorExpansion(const DeviceTreeRow& row) {
        const QModelIndex index = model.indexOf(&row);
        if (index.isValid())
            view->setExpanded(index, row.expanded);
    }

    static bool isShown(const DeviceTreeRow& row) {
        for (const DeviceTreeRow* above = row.parent; above && above->level >= 0;
             above = above->parent) {
            if (!above->expanded)
                return false;
        }
        return true;
    }
};

DeviceTreeControl::DeviceTreeControl(QWidget* parent)
    : QWidget(parent), d_(std::make_unique<Private>()) {
    d_->view = new DeviceTreeView(this);
    d_->view->setModel(&d_->model);
    d_->view->setItemDelegate(new DeviceTreeRowDelegate(d_->view));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(d_->view);
    setFocusProxy(d_->view);

    connect(d_->view, &DeviceTreeView::rowClicked, this,
            [this](const QModelIndex& index, QPoint pointInRow) {
                if (DeviceTreeRow* row = DeviceTreeModel::rowAt(index))
                    expandOrCollapseAt(*row, pointInRow);
            });
    d_->view->setDropCheck([](const QModelIndex& index) {
        const DeviceTreeRow* row = DeviceTreeModel::rowAt(index);
        return row && row->node && row->node->acceptsNewItems();
    });
    connect(d_->view, &DeviceTreeView::filesDropped, this,
            [this](const QModelIndex& index, const QStringList& paths) {
                DeviceTreeRow* row = DeviceTreeModel::rowAt(index);
                if (row && d_->delegate)
                    d_->delegate->filesDroppedOnRow(*row, paths);
            });
    connect(d_->view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (DeviceTreeRow* row = DeviceTreeModel::rowAt(index))
            setExpanded(row, !row->expanded);
    });
    connect(d_->view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                if (d_->delegate)
                    d_->delegate->rowSelected(DeviceTreeModel::rowAt(current),
                                              DeviceTreeModel::rowAt(previous));
            });
}

// The view goes before the rows it shows, and tells nobody of selection changes on its way.
DeviceTreeControl::~DeviceTreeControl() {
    d_->view->selectionModel()->disconnect(this);
    delete d_->view;
}

void DeviceTreeControl::setDataSource(TreeviewDataSource* dataSource) {
    d_->dataSource = dataSource;
}

void DeviceTreeControl::setDelegate(TreeviewDelegate* delegate) {
    d_->delegate = delegate;
}

void DeviceTreeControl::setStepRunner(StepRunner runner) {
    d_->runner = runner ? std::move(runner) : StepRunner(runDeviceStep);
}

void DeviceTreeControl::setBusyIndicatorHost(QWidget* host) {
    d_->busyHost = host;
}

void DeviceTreeControl::reload() {
    if (!d_->dataSource)
        return;
    std::vector<ListedRow> devices;
    d_->runStep(this, [&] { devices = d_->listRows(nullptr); });

    const std::vector<DeviceTreeRow*> existing = deviceRows();
    if (devices.size() >= existing.size()) {
        for (const ListedRow& device : devices) {
            const auto& rows = d_->model.root().children;
            if (std::any_of(rows.begin(), rows.end(),
                            [&device](const auto& row) { return sameDevice(*row, device); }))
                continue;
            DeviceTreeRow* row = addRow(device.text, nullptr);
            row->node = device.node;
            d_->dataSource->setUpRow(*row);
            d_->model.rowChanged(*row);
            // Expanding lists the device's areas.
            row->expanded = false;
            setExpanded(row, true);
        }
        return;
    }
    for (auto gone = existing.rbegin(); gone != existing.rend(); ++gone) {
        const bool present =
            std::any_of(devices.begin(), devices.end(),
                        [gone](const ListedRow& device) { return sameDevice(**gone, device); });
        if (!present)
            deleteRow(*gone);
    }
}

DeviceTreeRow* DeviceTreeControl::addRow(const TreeRowText& text, DeviceTreeRow* parent) {
    DeviceTreeRow& parentRow = parent ? *parent : d_->model.root();
    auto row = std::make_unique<DeviceTreeRow>();
    row->level = parentRow.level + 1;
    row->expanded = row->level == 0;
    row->text = text;
    if (row->level == 0)
        row->background = TreeRowBackground::Top;
    DeviceTreeRow* added = d_->model.appendRow(parentRow, std::move(row));
    d_->mirrorExpansion(*added);
    return added;
}

void DeviceTreeControl::setExpanded(DeviceTreeRow* row, bool expanded) {
    if (!row || row->level < 0 || row->expanded == expanded)
        return;
    row->expanded = expanded;
    d_->model.rowChanged(*row);
    if (!Private::isShown(*row)) {
        d_->mirrorExpansion(*row);
        return;
    }
    if (expanded && row->children.empty() && !listChildren(*row))
        return;
    if (!row->children.empty())
        row->knownEmpty = false;
    else if (expanded)
        row->knownEmpty = true;
    d_->model.rowChanged(*row);
    d_->mirrorExpansion(*row);
}

bool DeviceTreeControl::listChildren(DeviceTreeRow& row) {
    if (!d_->dataSource)
        return true;
    const QPersistentModelIndex where = d_->model.indexOf(&row);
    const std::unique_ptr<DeviceTreeRow> asked = detachedCopy(row);
    std::vector<ListedRow> listed;
    d_->runStep(this, [&] { listed = d_->listRows(asked.get()); });
    if (!where.isValid())
        return false;
    // Events handled while the step ran may have listed the row already.
    if (!row.children.empty())
        return true;
    for (ListedRow& child : listed) {
        DeviceTreeRow* added = addRow(child.text, &row);
        added->node = std::move(child.node);
        d_->dataSource->setUpRow(*added);
        d_->model.rowChanged(*added);
    }
    return true;
}

void DeviceTreeControl::deleteRow(DeviceTreeRow* row) {
    if (!row || row->level < 0)
        return;
    moveSelectionOffRow(*row);
    d_->model.deleteRow(*row);
}

void DeviceTreeControl::rebuildChildren(DeviceTreeRow* row) {
    DeviceTreeRow& target = row ? *row : d_->model.root();
    DeviceTreeRow* selected = selectedRow();
    if (selected && selected != &target && isWithin(selected, target))
        selectRow(target.level >= 0 ? &target : nullptr);
    d_->model.deleteChildren(target);
    target.knownEmpty = false;
    d_->model.rowChanged(target);
}

void DeviceTreeControl::redrawRow(DeviceTreeRow* row) {
    if (!row || row->level < 0)
        return;
    if (d_->dataSource && !d_->dataSource->hasChildren(row))
        row->knownEmpty = true;
    d_->model.rowChanged(*row);
}

std::pair<int, int> DeviceTreeControl::expanderZone(const DeviceTreeRow& row) {
    if (row.level < 0)
        return {0, 0};
    return {row.level * kIndentPerLevel + kExpanderZoneStart,
            row.level * kIndentPerLevel + kExpanderZoneEnd};
}

std::vector<DeviceTreeRow*> DeviceTreeControl::deviceRows() const {
    std::vector<DeviceTreeRow*> rows;
    for (const auto& row : d_->model.root().children)
        rows.push_back(row.get());
    return rows;
}

DeviceTreeRow* DeviceTreeControl::selectedRow() const {
    return DeviceTreeModel::rowAt(d_->view->selectionModel()->currentIndex());
}

void DeviceTreeControl::selectRow(DeviceTreeRow* row) {
    const QModelIndex index = d_->model.indexOf(row);
    if (!index.isValid()) {
        d_->view->selectionModel()->clear();
        return;
    }
    d_->view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    d_->view->scrollTo(index);
}

DeviceTreeRow* DeviceTreeControl::findRow(const ZelboLib::FileSystemNode* node) const {
    if (!node)
        return nullptr;
    if (DeviceTreeRow* selected = selectedRow()) {
        if (selected->node.get() == node)
            return selected;
        if (DeviceTreeRow* child = childRow(selected, node))
            return child;
        for (DeviceTreeRow* above = selected->parent; above && above->level >= 0;
             above = above->parent) {
            if (above->node.get() == node)
                return above;
        }
    }
    return findInOrder(d_->model.root(), node);
}

DeviceTreeRow* DeviceTreeControl::childRow(const DeviceTreeRow* parent,
                                           const ZelboLib::FileSystemNode* node) const {
    if (!node)
        return nullptr;
    const DeviceTreeRow& parentRow = parent ? *parent : d_->model.root();
    for (const auto& child : parentRow.children) {
        if (child->node.get() == node)
            return child.get();
    }
    return nullptr;
}

QAbstractItemView* DeviceTreeControl::view() const {
    return d_->view;
}

void DeviceTreeControl::expandOrCollapseAt(DeviceTreeRow& row, QPoint pointInRow) {
    const auto [first, last] = expanderZone(row);
    if (pointInRow.x() < first || pointInRow.x() >= last)
        return;
    if (!row.expanded) {
        const QPersistentModelIndex where = d_->model.indexOf(&row);
        int count = 0;
        if (d_->dataSource) {
            const std::unique_ptr<DeviceTreeRow> asked = detachedCopy(row);
            d_->runStep(this, [&] { count = d_->dataSource->numberOfRows(asked.get()); });
        }
        if (!where.isValid())
            return;
        if (d_->delegate)
            d_->delegate->expandingRows(count);
        // Twice, so that the status text is laid out and then drawn before the listing.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!where.isValid())
            return;
        setExpanded(&row, true);
        if (d_->delegate)
            d_->delegate->rowsExpanded();
        return;
    }
    setExpanded(&row, false);
}

void DeviceTreeControl::moveSelectionOffRow(const DeviceTreeRow& doomed) {
    DeviceTreeRow* selected = selectedRow();
    if (!selected || !isWithin(selected, doomed))
        return;
    const auto& siblings = doomed.parent->children;
    const auto at = std::find_if(siblings.begin(), siblings.end(), [&doomed](const auto& sibling) {
        return sibling.get() == &doomed;
    });
    DeviceTreeRow* next = nullptr;
    if (std::next(at) != siblings.end())
        next = std::next(at)->get();
    else if (at != siblings.begin())
        next = std::prev(at)->get();
    else if (doomed.parent->level >= 0)
        next = doomed.parent;
    selectRow(next);
}
