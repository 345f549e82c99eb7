#include "ui/popupmenu.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "ui/layoutloader.h"
#include "ui/menudelegate.h"
#include "ui/skin.h"

PopupMenu::PopupMenu(const QString& menuFile, MenuDelegate& delegate, QWidget* owner)
    : menuFile_(menuFile), delegate_(delegate) {
    LayoutLoader loader;
    QWidget* loaded = loader.loadLayout(menuFile, owner);
    menu_ = qobject_cast<QMenu*>(loaded);
    if (!menu_) {
        delete loaded;
        return;
    }
    menu_->setStyleSheet(Skin::styleSheet());
    menu_->setFont(Skin::font(0));
    connect(menu_, &QMenu::triggered, this, [this](QAction* action) {
        if (!action->objectName().isEmpty())
            delegate_.menuItemChosen(menuFile_, action->objectName());
    });
}

// The owner may already have deleted the menu with itself.
PopupMenu::~PopupMenu() {
    delete menu_.data();
}

QAction* PopupMenu::item(const QString& itemName) const {
    if (!menu_ || itemName.isEmpty())
        return nullptr;
    return menu_->findChild<QAction*>(itemName, Qt::FindDirectChildrenOnly);
}

void PopupMenu::setItemChecked(const QString& itemName, bool checked) {
    if (QAction* action = item(itemName)) {
        action->setCheckable(true);
        action->setChecked(checked);
    }
}

void PopupMenu::setItemEnabled(const QString& itemName, bool enabled) {
    if (QAction* action = item(itemName))
        action->setEnabled(enabled);
}

void PopupMenu::setItemVisible(const QString& itemName, bool visible) {
    if (QAction* action = item(itemName))
        action->setVisible(visible);
}

void PopupMenu::popup(const QWidget* button, MenuPlacement placement) {
    if (!menu_ || !button)
        return;
    const QRect buttonRect(button->mapToGlobal(QPoint(0, 0)), button->size());
    menu_->popup(position(buttonRect, menu_->sizeHint(), placement));
}

void PopupMenu::popupAt(const QPoint& globalPoint) {
    if (menu_)
        menu_->popup(globalPoint);
}

QPoint PopupMenu::position(const QRect& buttonRect, const QSize& menuSize,
                           MenuPlacement placement) {
    const int top = buttonRect.y() + buttonRect.height();
    switch (placement) {
        case MenuPlacement::BelowRightExtendingLeft:
            return {buttonRect.x() + buttonRect.width() - menuSize.width(), top};
        case MenuPlacement::BelowLeftExtendingRight:
            return {buttonRect.x(), top};
    }
    return {buttonRect.x(), top};
}
