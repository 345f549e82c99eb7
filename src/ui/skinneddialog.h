#pragma once

#include <QDialog>
#include <QString>

#include "ui/controls.h"
#include "ui/notificationdispatcher.h"

/**
 * A dialog built from a skin layout: frameless with the skin's title bar and corners, modal over
 * its owner when run, with its notifications routed through one dispatcher. Controls missing from
 * the layout are null and skipped.
 */
class SkinnedDialog : public QDialog {
    Q_OBJECT
public:
    SkinnedDialog(const QString& layoutFile, QWidget* owner);

protected:
    /** The layout's root widget; null when the layout could not load. */
    QWidget* content() const { return content_; }

    template <class T = QWidget>
    T* control(const QString& name) const {
        return Controls::find<T>(content_, name);
    }

    NotificationDispatcher& notifications() { return notifications_; }

    /** Centres the dialog over its owner, or over the screen without one. */
    void centreOverOwner();

private:
    QWidget* content_ = nullptr;
    NotificationDispatcher notifications_;
};
