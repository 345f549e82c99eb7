#include "ui/notificationdispatcher.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>

NotificationDispatcher::NotificationDispatcher(QObject* parent) : QObject(parent) {}

void NotificationDispatcher::on(NotificationType type, const QString& control, Handler handler) {
    routes_[{type, control}] = std::move(handler);
}

void NotificationDispatcher::attach(QWidget* root) {
    if (!root)
        return;
    connectControl(root);
    for (QWidget* control : root->findChildren<QWidget*>())
        connectControl(control);
}

bool NotificationDispatcher::dispatch(const Notification& notification) const {
    const auto route = routes_.find({notification.type, notification.control});
    if (route == routes_.end() || !route->second)
        return false;
    // A handler may replace routes while it runs; call a copy.
    const Handler handler = route->second;
    handler(notification);
    return true;
}

bool NotificationDispatcher::notify(NotificationType type, const QString& control,
                                    const QVariant& wParam, const QVariant& lParam) {
    return dispatch({type, control, sender(), wParam, lParam});
}

void NotificationDispatcher::connectControl(QWidget* control) {
    const QString name = control->objectName();
    // Qt names the inner parts of its composite widgets "qt_…"; they are not layout controls.
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
        return;
    // Attaching a layout again must not double its notifications.
    if (attached_.contains(control))
        return;
    attached_.insert(control);
    connect(control, &QObject::destroyed, this, [this, control] { attached_.remove(control); });

    const auto send = [this, name, control](NotificationType type, const QVariant& wParam = {},
                                            const QVariant& lParam = {}) {
        dispatch({type, name, control, wParam, lParam});
    };
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        connect(button, &QAbstractButton::clicked, this, [send] { send(NotificationType::Click); });
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        connect(label, &QLabel::linkActivated, this,
                [send](const QString& link) { send(NotificationType::Link, link); });
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        connect(edit, &QLineEdit::returnPressed, this, [send] { send(NotificationType::Return); });
        connect(edit, &QLineEdit::textChanged, this,
                [send](const QString& text) { send(NotificationType::TextChanged, text); });
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        connect(combo, &QComboBox::currentIndexChanged, this,
                [send](int index) { send(NotificationType::ItemSelect, index); });
    } else if (auto* stack = qobject_cast<QStackedWidget*>(control)) {
        connect(stack, &QStackedWidget::currentChanged, this,
                [send](int index) { send(NotificationType::SelectChanged, index); });
    } else if (auto* tabs = qobject_cast<QTabWidget*>(control)) {
        connect(tabs, &QTabWidget::currentChanged, this,
                [send](int index) { send(NotificationType::SelectChanged, index); });
    } else if (auto* view = qobject_cast<QAbstractItemView*>(control)) {
        connect(view, &QAbstractItemView::clicked, this, [send](const QModelIndex& index) {
            send(NotificationType::ItemClick, index.row());
        });
        connect(view, &QAbstractItemView::doubleClicked, this, [send](const QModelIndex& index) {
            send(NotificationType::ItemDoubleClick, index.row());
        });
        if (auto* list = qobject_cast<QListWidget*>(view)) {
            connect(list, &QListWidget::currentRowChanged, this,
                    [send, previous = -1](int row) mutable {
                        send(NotificationType::ItemSelect, row, std::exchange(previous, row));
                    });
        }
    }
}
