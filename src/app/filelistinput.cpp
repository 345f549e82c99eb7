#include "app/filelistinput.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <algorithm>
#include <utility>

#include "app/droppedfiles.h"
#include "app/listviewdelegate.h"

FileListInput::FileListInput(QAbstractItemView& view, QWidget& list, DelegateOf delegateOf)
    : QObject(&view),
      view_(view),
      viewport_(view.viewport()),
      list_(list),
      delegate_(std::move(delegateOf)) {
    view.setAcceptDrops(true);
    view.viewport()->setAcceptDrops(true);
    view.installEventFilter(this);
    view.viewport()->installEventFilter(this);
    connect(&view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (ListviewDelegate* delegate = delegate_())
            delegate->doubleClick(index.row());
    });
}

bool FileListInput::eventFilter(QObject* watched, QEvent* event) {
    // The key's context menu reaches the view, everything else its viewport.
    const bool onViewport = watched == viewport_;
    switch (event->type()) {
        case QEvent::ContextMenu:
            return contextMenu(event);
        case QEvent::MouseButtonPress:
            return onViewport && mousePress(event);
        case QEvent::DragEnter:
        case QEvent::DragMove:
            return onViewport && drag(event);
        case QEvent::Drop:
            return onViewport && drop(event);
        default:
            return false;
    }
}

bool FileListInput::contextMenu(QEvent* event) {
    auto* menuEvent = static_cast<QContextMenuEvent*>(event);
    ListviewDelegate* delegate = delegate_();
    if (!delegate)
        return true;
    if (menuEvent->reason() == QContextMenuEvent::Keyboard) {
        delegate->rightClick(firstSelectedItem(), QCursor::pos());
        return true;
    }
    const QPoint inViewport = view_.viewport()->mapFromGlobal(menuEvent->globalPos());
    const QModelIndex index = view_.indexAt(inViewport);
    delegate->rightClick(index.isValid() ? index.row() : -1, menuEvent->globalPos());
    return true;
}

bool FileListInput::mousePress(QEvent* event) {
    const auto* press = static_cast<QMouseEvent*>(event);
    const bool extending = press->modifiers().testAnyFlags(Qt::ControlModifier | Qt::ShiftModifier);
    if (press->button() == Qt::LeftButton && !extending &&
        !view_.indexAt(press->position().toPoint()).isValid() && view_.selectionModel()) {
        view_.selectionModel()->clear();
    }
    return false;
}

bool FileListInput::drag(QEvent* event) {
    auto* dragEvent = static_cast<QDropEvent*>(event);
    if (droppedLocalFiles(dragEvent->mimeData()).isEmpty()) {
        dragEvent->ignore();
    } else {
        dragEvent->setDropAction(Qt::CopyAction);
        dragEvent->accept();
    }
    return true;
}

bool FileListInput::drop(QEvent* event) {
    auto* dropEvent = static_cast<QDropEvent*>(event);
    const QStringList paths = droppedLocalFiles(dropEvent->mimeData());
    if (paths.isEmpty()) {
        dropEvent->ignore();
        return true;
    }
    dropEvent->setDropAction(Qt::CopyAction);
    dropEvent->accept();
    const QPoint position = view_.viewport()->mapTo(&list_, dropEvent->position().toPoint());
    if (ListviewDelegate* delegate = delegate_())
        delegate->filesDropped(paths, position);
    return true;
}

int FileListInput::firstSelectedItem() const {
    const QItemSelectionModel* selection = view_.selectionModel();
    if (!selection)
        return -1;
    int first = -1;
    for (const QItemSelectionRange& range : selection->selection()) {
        if (first < 0 || range.top() < first)
            first = range.top();
    }
    return first;
}
