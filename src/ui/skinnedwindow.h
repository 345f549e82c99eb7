#pragma once

#include <QString>
#include <QWidget>

#include "ui/controls.h"
#include "ui/notificationdispatcher.h"

class LayoutLoader;

/**
 * A resizable top-level window built from a skin layout: frameless with the skin's title bar,
 * title buttons, edges and corners; the layout's minimum size is the window's. Its notifications
 * go through one dispatcher, and "windowinit" is sent once the layout has loaded.
 */
class SkinnedWindow : public QWidget {
    Q_OBJECT
public:
    explicit SkinnedWindow(QWidget* parent = nullptr);

    /**
     * Loads the layout with `loader` (which carries the window's custom control factories).
     * Returns false when the layout cannot load; the window then stays empty.
     */
    bool loadLayout(LayoutLoader& loader, const QString& layoutFile);

protected:
    QWidget* content() const { return content_; }

    template <class T = QWidget>
    T* control(const QString& name) const {
        return Controls::find<T>(content_, name);
    }

    NotificationDispatcher& notifications() { return notifications_; }

private:
    QWidget* content_ = nullptr;
    NotificationDispatcher notifications_;
};
