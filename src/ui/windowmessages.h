#pragma once

#include <QEvent>
#include <QString>

/**
 * Named window messages ("WM_FINISH_TRANSFER", …): each name is a Qt event type registered once
 * for the process, the same number for every window. Thread-safe.
 */
class WindowMessages {
public:
    /** The event type of a named message, registering it on first use. */
    static QEvent::Type type(const QString& name);
};

/** A named window message with its two arguments, posted to a window's event queue. */
class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(const QString& name, quintptr wParam = 0, quintptr lParam = 0)
        : QEvent(WindowMessages::type(name)), wParam_(wParam), lParam_(lParam) {}
    quintptr wParam() const { return wParam_; }
    quintptr lParam() const { return lParam_; }

private:
    quintptr wParam_;
    quintptr lParam_;
};
