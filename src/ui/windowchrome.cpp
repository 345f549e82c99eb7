#include "ui/windowchrome.h"

#include <QAbstractButton>
#include <QMouseEvent>
#include <QPainterPath>
#include <QWidget>
#include <QWindow>

#include "ui/controls.h"

namespace {

Qt::CursorShape cursorFor(Qt::Edges edges) {
    if (edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge)) {
        return Qt::SizeFDiagCursor;
    }
    if (edges == (Qt::TopEdge | Qt::RightEdge) || edges == (Qt::BottomEdge | Qt::LeftEdge)) {
        return Qt::SizeBDiagCursor;
    }
    if (edges & (Qt::LeftEdge | Qt::RightEdge))
        return Qt::SizeHorCursor;
    return Qt::SizeVerCursor;
}

bool isMaximisedOrFull(const QWidget* window) {
    return window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
}

}  // namespace

WindowChrome::WindowChrome(QWidget* window, WindowResizing resizing)
    : QObject(window), window_(window), resizing_(resizing) {
    window_->setWindowFlag(Qt::FramelessWindowHint);
    window_->installEventFilter(this);
    if (auto* titleBar = Controls::find(window_, QStringLiteral("titleBar"))) {
        titleBar->installEventFilter(this);
    }
    connectTitleButtons();
    updateForWindowState();
}

QRegion WindowChrome::roundedShape(QSize size, int radius) {
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

Qt::Edges WindowChrome::edgesAt(QPoint position, QSize size, int border) {
    Qt::Edges edges;
    if (position.x() < border)
        edges |= Qt::LeftEdge;
    if (position.x() >= size.width() - border)
        edges |= Qt::RightEdge;
    if (position.y() < border)
        edges |= Qt::TopEdge;
    if (position.y() >= size.height() - border)
        edges |= Qt::BottomEdge;
    return edges;
}

void WindowChrome::connectTitleButtons() {
    const auto connectButton = [this](const char* name, auto action) {
        if (auto* button = Controls::find<QAbstractButton>(window_, QLatin1String(name))) {
            connect(button, &QAbstractButton::clicked, window_, action);
        }
    };
    connectButton("btnMin", [this] { window_->showMinimized(); });
    connectButton("btnMax", [this] { window_->showMaximized(); });
    connectButton("btnRestore", [this] { window_->showNormal(); });
    connectButton("btnClose", [this] { window_->close(); });
}

void WindowChrome::updateForWindowState() {
    const bool maximised = isMaximisedOrFull(window_);
    Controls::setVisible(window_, QStringLiteral("btnMax"), !maximised);
    Controls::setVisible(window_, QStringLiteral("btnRestore"), maximised);
    if (maximised) {
        window_->clearMask();
    } else {
        window_->setMask(roundedShape(window_->size(), kCornerRadius));
    }
}

void WindowChrome::toggleMaximised() {
    if (resizing_ != WindowResizing::Resizable)
        return;
    if (isMaximisedOrFull(window_)) {
        window_->showNormal();
    } else {
        window_->showMaximized();
    }
}

bool WindowChrome::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        switch (event->type()) {
            case QEvent::Resize:
            case QEvent::WindowStateChange:
                updateForWindowState();
                break;
            case QEvent::Show:
                // The native window exists from the first show on; edges are watched there, so
                // that they work over every child control.
                if (!handle_ && window_->windowHandle()) {
                    handle_ = window_->windowHandle();
                    handle_->installEventFilter(this);
                }
                break;
            default:
                break;
        }
        return false;
    }
    if (watched == handle_)
        return filterWindowHandleEvent(event);
    return filterTitleBarEvent(event);
}

bool WindowChrome::filterWindowHandleEvent(QEvent* event) {
    if (resizing_ != WindowResizing::Resizable || isMaximisedOrFull(window_))
        return false;
    if (event->type() != QEvent::MouseMove && event->type() != QEvent::MouseButtonPress) {
        return false;
    }
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const Qt::Edges edges = edgesAt(mouse->position().toPoint(), window_->size(), kResizeBorder);
    if (event->type() == QEvent::MouseMove && mouse->buttons() == Qt::NoButton) {
        if (edges) {
            window_->setCursor(cursorFor(edges));
            edgeCursorShown_ = true;
        } else if (edgeCursorShown_) {
            window_->unsetCursor();
            edgeCursorShown_ = false;
        }
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton && edges) {
        return handle_->startSystemResize(edges);
    }
    return false;
}

bool WindowChrome::filterTitleBarEvent(QEvent* event) {
    if (event->type() != QEvent::MouseButtonDblClick && event->type() != QEvent::MouseButtonPress)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseButtonDblClick && mouse->button() == Qt::LeftButton) {
        toggleMaximised();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton &&
        window_->windowHandle()) {
        return window_->windowHandle()->startSystemMove();
    }
    return false;
}
