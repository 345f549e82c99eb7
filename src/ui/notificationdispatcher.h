#pragma once

#include <functional>
#include <map>
#include <utility>

#include <QObject>
#include <QSet>
#include <QString>

#include "ui/notification.h"

class QWidget;

/**
 * Routes a window's notifications by (event type, control name) to handlers, so that a window's
 * routing reads as a table. `attach` connects the signals of every named control of a layout;
 * controls without a Qt signal for an event (custom controls, timers, the window itself) call
 * `notify`. A notification without a route is dropped. GUI thread only.
 */
class NotificationDispatcher : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const Notification&)>;

    explicit NotificationDispatcher(QObject* parent = nullptr);

    /** Routes `type` from the control `control` to `handler`, replacing an earlier route. */
    void on(NotificationType type, const QString& control, Handler handler);

    /** Connects the notifications of every named control below `root` once. */
    void attach(QWidget* root);

    /** Sends a notification; returns whether a route handled it. */
    bool dispatch(const Notification& notification) const;

    bool notify(NotificationType type, const QString& control, const QVariant& wParam = {},
                const QVariant& lParam = {});

private:
    void connectControl(QWidget* control);

    std::map<std::pair<NotificationType, QString>, Handler> routes_;
    QSet<const QObject*> attached_;
};
