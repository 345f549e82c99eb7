#include "app/devicetreeview.h"

#include <cmath>

#include <QDropEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include "app/droppedfiles.h"

DeviceTreeView::DeviceTreeView(QWidget* parent) : QTreeView(parent) {
    setHeaderHidden(true);
    setIndentation(0);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(false);
    setAnimated(false);
    setFrameShape(QFrame::NoFrame);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    wheelTimer_.setInterval(kWheelTickMs);
    connect(&wheelTimer_, &QTimer::timeout, this, &DeviceTreeView::wheelTick);
}

DeviceTreeView::~DeviceTreeView() = default;

void DeviceTreeView::mousePressEvent(QMouseEvent* event) {
    pressedIndex_ = indexAt(event->position().toPoint());
    QTreeView::mousePressEvent(event);
}

void DeviceTreeView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const QModelIndex pressed = pressedIndex_;
    pressedIndex_ = QPersistentModelIndex();
    QTreeView::mouseReleaseEvent(event);
    const QModelIndex released = indexAt(point);
    if (event->button() == Qt::LeftButton && released.isValid() && released == pressed)
        emit rowClicked(released, point - visualRect(released).topLeft());
}

void DeviceTreeView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        QTreeView::wheelEvent(event);
        return;
    }
    // Fine-grained wheels send parts of a notch; they count once they add up to one.
    unusedWheelDelta_ += delta;
    while (std::abs(unusedWheelDelta_) >= QWheelEvent::DefaultDeltasPerStep) {
        const bool up = unusedWheelDelta_ > 0;
        unusedWheelDelta_ +=
            up ? -QWheelEvent::DefaultDeltasPerStep : QWheelEvent::DefaultDeltasPerStep;
        wheelAnimation_.addNotch(up ? WheelScrollAnimation::Direction::Up
                                    : WheelScrollAnimation::Direction::Down);
        wheelTimer_.start();
    }
    event->accept();
}

void DeviceTreeView::wheelTick() {
    if (!wheelAnimation_.isRunning() || atEndOfMotion()) {
        wheelAnimation_.stop();
        wheelTimer_.stop();
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() - static_cast<int>(std::lround(wheelAnimation_.nextTick())));
}

bool DeviceTreeView::atEndOfMotion() const {
    const QScrollBar* bar = verticalScrollBar();
    return wheelAnimation_.velocity() > 0 ? bar->value() <= bar->minimum()
                                          : bar->value() >= bar->maximum();
}

QModelIndex DeviceTreeView::dropTarget(const QDropEvent& event) const {
    if (!dropCheck_ || droppedLocalFiles(event.mimeData()).isEmpty())
        return {};
    const QModelIndex index = indexAt(event.position().toPoint());
    return index.isValid() && dropCheck_(index) ? index : QModelIndex();
}

void DeviceTreeView::dragEnterEvent(QDragEnterEvent* event) {
    // Accepted anywhere over the tree, so that moves reach rows below the first one.
    if (droppedLocalFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void DeviceTreeView::dragMoveEvent(QDragMoveEvent* event) {
    const QModelIndex target = dropTarget(*event);
    // The row that would take the files is shown as the current one while the drag is over it.
    if (target.isValid()) {
        setState(DraggingState);
        event->setDropAction(Qt::CopyAction);
        event->accept(visualRect(target));
        viewport()->update();
    } else {
        event->ignore();
    }
}

void DeviceTreeView::dragLeaveEvent(QDragLeaveEvent* event) {
    setState(NoState);
    event->accept();
}

void DeviceTreeView::dropEvent(QDropEvent* event) {
    setState(NoState);
    const QModelIndex target = dropTarget(*event);
    if (!target.isValid()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit filesDropped(target, droppedLocalFiles(event->mimeData()));
}
