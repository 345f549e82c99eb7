#include "app/clistviewcontrol.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QRandomGenerator>
#include <QStackedLayout>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>
#include <vector>

#include "app/filelistinput.h"
#include "app/filelistitemdelegate.h"
#include "app/filelistmodel.h"
#include "app/listheaderview.h"
#include "app/listviewattributes.h"
#include "app/listviewdatasource.h"
#include "app/listviewdelegate.h"
#include "app/thumbnailrequester.h"
#include "app/viewstyle.h"

namespace {

constexpr int kDefaultColumnWidth = 100;

std::uint32_t newGeneration(std::uint32_t previous) {
    std::uint32_t generation = previous;
    // A thumbnail of the previous generation must never pass for a current one.
    while (generation == previous)
        generation = QRandomGenerator::global()->generate();
    return generation;
}

void shareSelection(QAbstractItemView& view, FileListModel& model, QItemSelectionModel& selection) {
    view.setModel(&model);
    QItemSelectionModel* own = view.selectionModel();
    view.setSelectionModel(&selection);
    delete own;
}

void prepareView(QAbstractItemView& view) {
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setFrameShape(QFrame::NoFrame);
    // Items drag out as copies; drops are taken by the list's input filter.
    view.setDragEnabled(true);
    view.setDefaultDropAction(Qt::CopyAction);
}

}  // namespace

struct CListviewControl::Private {
    explicit Private(CListviewControl& control);

    void applyStyle(ViewStyle style);
    void applyAttributes(const ListviewAttributes& attributes);
    void applyColumnWidths();
    void reloadOnce();
    void showEmptyText(bool shown);
    void reportSelection(const QItemSelection& selected);
    void requestThumbnail(int row);
    QAbstractItemView* view() const;

    ListviewDataSource* dataSource = nullptr;
    ListviewDelegate* delegate = nullptr;
    ThumbnailRequester* requester = nullptr;
    StepRunner stepRunner = runDeviceStep;
    // Until the owner applies the stored style, the list shows Extra Large Icons.
    std::uint32_t styleCode = static_cast<std::uint32_t>(ViewStyle::ExtraLargeIcons);
    std::uint32_t generation = newGeneration(0);
    bool reloading = false;
    bool reloadAgain = false;

    FileListModel* model;
    QItemSelectionModel* selection;
    FileListItemDelegate* detailsItems;
    FileListItemDelegate* iconItems;
    ListHeaderView* header;
    QTreeView* details;
    QListView* icons;
    QStackedLayout* stack;
    QString emptyText;
    std::vector<QLabel*> emptyLabels;
};

CListviewControl::Private::Private(CListviewControl& control)
    : model(new FileListModel(&control)),
      selection(new QItemSelectionModel(model, &control)),
      detailsItems(new FileListItemDelegate(ViewStyle::Details, nullptr, &control)),
      iconItems(new FileListItemDelegate(
          ViewStyle::ExtraLargeIcons, [this](int row) { requestThumbnail(row); }, &control)),
      header(new ListHeaderView),
      details(new QTreeView(&control)),
      icons(new QListView(&control)),
      stack(new QStackedLayout(&control)) {
    details->setHeader(header);
    details->setRootIsDecorated(false);
    details->setItemsExpandable(false);
    details->setUniformRowHeights(true);
    // Sorting is the owner's, on headerClicked; turning Qt's off also makes sections unclickable.
    details->setSortingEnabled(false);
    header->setSectionsClickable(true);
    details->setItemDelegate(detailsItems);
    details->setIconSize(QSize(FileListItemDelegate::iconSize(ViewStyle::Details),
                               FileListItemDelegate::iconSize(ViewStyle::Details)));
    prepareView(*details);
    shareSelection(*details, *model, *selection);

    icons->setUniformItemSizes(true);
    icons->setSpacing(0);
    icons->setItemDelegate(iconItems);
    prepareView(*icons);
    shareSelection(*icons, *model, *selection);

    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(details);
    stack->addWidget(icons);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(details),
                                    static_cast<QAbstractItemView*>(icons)}) {
        auto* label = new QLabel(view->viewport());
        label->setObjectName(QStringLiteral("emptyText"));
        label->setAlignment(Qt::AlignCenter);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setEnabled(false);  // drawn in the palette's disabled, greyed text
        label->hide();
        auto* centre = new QVBoxLayout(view->viewport());
        centre->addWidget(label);
        emptyLabels.push_back(label);
    }

    QObject::connect(header, &QHeaderView::sectionClicked, &control, [this](int column) {
        if (delegate)
            delegate->headerClicked(column);
    });
    QObject::connect(selection, &QItemSelectionModel::selectionChanged, &control,
                     [this](const QItemSelection& selected) { reportSelection(selected); });
    const auto delegateOf = [this] { return delegate; };
    new FileListInput(*details, control, delegateOf);
    new FileListInput(*icons, control, delegateOf);

    applyAttributes(ListviewAttributes::defaults(control.palette()));
    applyStyle(ViewStyle::ExtraLargeIcons);
}

void CListviewControl::Private::applyStyle(ViewStyle style) {
    if (style == ViewStyle::Details) {
        stack->setCurrentWidget(details);
        return;
    }
    iconItems->setViewStyle(style);
    const bool large = style == ViewStyle::LargeIcons || style == ViewStyle::ExtraLargeIcons;
    // The view mode resets flow, wrapping and movement, so it goes first.
    icons->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    icons->setFlow(style == ViewStyle::List ? QListView::TopToBottom : QListView::LeftToRight);
    icons->setWrapping(true);
    icons->setMovement(QListView::Static);
    icons->setResizeMode(QListView::Adjust);
    const int edge = FileListItemDelegate::iconSize(style);
    icons->setIconSize(QSize(edge, edge));
    icons->setGridSize(FileListItemDelegate::cellSize(style, icons->fontMetrics()));
    stack->setCurrentWidget(icons);
}

void CListviewControl::Private::applyAttributes(const ListviewAttributes& attributes) {
    detailsItems->setAttributes(attributes);
    iconItems->setAttributes(attributes);
    header->setColours(attributes.itemBackground, attributes.itemText);
    for (QAbstractItemView* shown :
         {static_cast<QAbstractItemView*>(details), static_cast<QAbstractItemView*>(icons)}) {
        QPalette colours = shown->palette();
        colours.setColor(QPalette::Base, attributes.itemBackground);
        colours.setColor(QPalette::Text, attributes.itemText);
        shown->setPalette(colours);
    }
}

void CListviewControl::Private::applyColumnWidths() {
    for (int column = 0; column < FileListModel::kColumnCount; ++column) {
        header->resizeSection(column,
                              dataSource ? dataSource->columnWidth(column) : kDefaultColumnWidth);
    }
}

void CListviewControl::Private::reloadOnce() {
    generation = newGeneration(generation);
    if (requester)
        requester->stopThumbnails();
    model->reset(0);
    QWidget* over = view()->viewport();
    over->update();
    showEmptyText(false);
    int count = 0;
    if (ListviewDataSource* source = dataSource) {
        // On the runner's worker: nothing here may touch the model or a widget.
        stepRunner(over, [&count, source] { count = source->itemCount(); });
    }
    model->reset(count);
    showEmptyText(count == 0);
}

void CListviewControl::Private::showEmptyText(bool shown) {
    for (QLabel* label : emptyLabels) {
        label->setText(emptyText);
        label->setVisible(shown && !emptyText.isEmpty());
    }
}

void CListviewControl::Private::reportSelection(const QItemSelection& selected) {
    if (reloading || !delegate)
        return;
    // A key move selects the new row before making it current.
    const QModelIndex current = selection->currentIndex();
    int item = -1;
    if (current.isValid() && selection->isSelected(current))
        item = current.row();
    else if (!selected.isEmpty())
        item = selected.first().top();
    else if (!selection->selection().isEmpty())
        item = selection->selection().first().top();  // a Ctrl+click took the current row out
    delegate->itemChanged(item);
}

void CListviewControl::Private::requestThumbnail(int row) {
    if (!requester)
        return;
    if (model->takeThumbnailRequest(row))
        requester->requestThumbnail(row, generation);
    else
        requester->thumbnailStillWanted(row, generation);
}

QAbstractItemView* CListviewControl::Private::view() const {
    return static_cast<QAbstractItemView*>(stack->currentWidget());
}

CListviewControl::CListviewControl(QWidget* parent)
    : QWidget(parent), d_(std::make_unique<Private>(*this)) {}

CListviewControl::~CListviewControl() {
    // The views and the selection report to d_ while they live; they go first.
    d_->selection->disconnect(this);
    delete d_->details;
    delete d_->icons;
}

void CListviewControl::setDataSource(ListviewDataSource* dataSource) {
    if (dataSource == d_->dataSource)
        return;
    d_->dataSource = dataSource;
    d_->model->setDataSource(dataSource);
    d_->header->setDataSource(dataSource);
    d_->applyColumnWidths();
}

void CListviewControl::setDelegate(ListviewDelegate* delegate) {
    d_->delegate = delegate;
}

void CListviewControl::setThumbnailRequester(ThumbnailRequester* requester) {
    d_->requester = requester;
}

void CListviewControl::setStepRunner(StepRunner runner) {
    d_->stepRunner = runner ? std::move(runner) : StepRunner(runDeviceStep);
}

void CListviewControl::initialise() {
    d_->applyAttributes(ListviewAttributes::fromProperties(*this, palette()));
    d_->applyColumnWidths();
}

void CListviewControl::setViewStyle(std::uint32_t code) {
    if (code == d_->styleCode)
        return;
    d_->styleCode = code;
    if (const std::optional<ViewStyle> style = viewStyleFromCode(code))
        d_->applyStyle(*style);
}

std::uint32_t CListviewControl::viewStyle() const {
    return d_->styleCode;
}

void CListviewControl::reload() {
    // A reload asked for while the count is being taken (from the runner's event loop) runs
    // after it, never beside it on the same data source.
    if (d_->reloading) {
        d_->reloadAgain = true;
        return;
    }
    d_->reloading = true;
    do {
        d_->reloadAgain = false;
        d_->reloadOnce();
    } while (d_->reloadAgain);
    d_->selection->clear();
    d_->reloading = false;
    if (d_->delegate)
        d_->delegate->itemChanged(-1);
}

void CListviewControl::itemsChanged(const std::vector<int>& rows) {
    d_->model->rowsChanged(rows);
}

void CListviewControl::itemsMoved(const std::vector<int>& newRowOf) {
    // Thumbnails asked for the old rows would land on whatever row took their place.
    d_->generation = newGeneration(d_->generation);
    d_->model->rowsMoved(newRowOf);
}

void CListviewControl::setEmptyText(const QString& text) {
    d_->emptyText = text;
}

void CListviewControl::redrawHeader() {
    d_->header->viewport()->update();
}

int CListviewControl::itemCount() const {
    return d_->model->rowCount();
}

QList<int> CListviewControl::selectedItems() const {
    QList<int> items;
    for (const QItemSelectionRange& range : d_->selection->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            items << row;
    }
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    return items;
}

void CListviewControl::clearSelection() {
    d_->selection->clear();
}

void CListviewControl::selectItem(int item) {
    if (item < 0 || item >= itemCount()) {
        clearSelection();
        return;
    }
    const QModelIndex index = d_->model->index(item, 0);
    d_->selection->setCurrentIndex(index,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    d_->view()->scrollTo(index);
}

std::uint32_t CListviewControl::generation() const {
    return d_->generation;
}

void CListviewControl::thumbnailReady(int item, std::uint32_t generation, const QImage& thumbnail) {
    if (generation == d_->generation)
        d_->model->setThumbnail(item, thumbnail);
}

int CListviewControl::itemAt(QPoint position) const {
    QAbstractItemView* view = d_->view();
    const QModelIndex index = view->indexAt(view->viewport()->mapFrom(this, position));
    return index.isValid() ? index.row() : -1;
}

QAbstractItemView* CListviewControl::currentView() const {
    return d_->view();
}
