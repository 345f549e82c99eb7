#pragma once

#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

class MenuDelegate;
class QAction;

class QWidget;

/** Where a menu opens relative to the button that opens it. */
enum class MenuPlacement {
    BelowRightExtendingLeft,  // at the button's bottom-right corner, extending left and down
    BelowLeftExtendingRight,  // at the button's bottom-left corner, extending right and down
};

/**
 * A pop-up menu built from a menu layout ("mainmenu.xml"). Its items are the layout's actions,
 * named as there; the chosen item is reported to the delegate as (menu file, item name). Check
 * marks, enabling and visibility are set per item before the menu opens. Missing items are
 * skipped. The menu lives as long as this object. GUI thread only.
 */
class PopupMenu : public QObject {
    Q_OBJECT
public:
    PopupMenu(const QString& menuFile, MenuDelegate& delegate, QWidget* owner);
    ~PopupMenu() override;

    /** Whether the layout loaded; a menu that did not load never opens. */
    bool isValid() const { return !menu_.isNull(); }

    QAction* item(const QString& itemName) const;
    void setItemChecked(const QString& itemName, bool checked);
    void setItemEnabled(const QString& itemName, bool enabled);
    void setItemVisible(const QString& itemName, bool visible);

    /** Opens the menu at a button, placed as `placement` says. */
    void popup(const QWidget* button, MenuPlacement placement);

    /** Opens the menu with its top-left corner at a global point, extending right and down. */
    void popupAt(const QPoint& globalPoint);

    /** The top-left corner of a menu of `menuSize` opened at `buttonRect` (global). */
    static QPoint position(const QRect& buttonRect, const QSize& menuSize, MenuPlacement placement);

    QMenu* menu() const { return menu_; }

private:
    QString menuFile_;
    MenuDelegate& delegate_;
    QPointer<QMenu> menu_;
};
