#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRegion>
#include <QSize>
#include <QWindow>

class QWidget;

/** Whether a frameless window can be resized from its edges. */
enum class WindowResizing { Fixed, Resizable };

/**
 * The frame of a skinned window drawn by the skin instead of the window system: the window is
 * frameless with 4-pixel rounded corners (square while maximised); pressing the layout's
 * "titleBar" moves it and double-clicking it maximises or restores a resizable window, both
 * through the window system's own move and resize requests, as do the window's edges. The title
 * buttons "btnMin", "btnMax" and "btnRestore" minimise, maximise and restore, with only one of
 * the last two shown; "btnClose" closes the window (a dialog then rejects). Missing buttons are
 * skipped.
 */
class WindowChrome : public QObject {
    Q_OBJECT
public:
    static constexpr int kCornerRadius = 4;
    static constexpr int kResizeBorder = 5;

    /** Call before the window is first shown; the chrome lives as the window's child. */
    WindowChrome(QWidget* window, WindowResizing resizing);

    /** The window's shape at `size`: a rectangle with rounded corners. */
    static QRegion roundedShape(QSize size, int radius);

    /** The window edges within `border` pixels of `position` (window coordinates). */
    static Qt::Edges edgesAt(QPoint position, QSize size, int border);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectTitleButtons();
    void updateForWindowState();
    bool filterWindowHandleEvent(QEvent* event);
    bool filterTitleBarEvent(QEvent* event);
    void toggleMaximised();

    QWidget* window_;
    WindowResizing resizing_;
    QPointer<QWindow> handle_;
    bool edgeCursorShown_ = false;
};
