#include "ui/skinneddialog.h"

#include <QScreen>

#include "ui/layoutloader.h"
#include "ui/windowchrome.h"

SkinnedDialog::SkinnedDialog(const QString& layoutFile, QWidget* owner) : QDialog(owner) {
    setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    LayoutLoader loader;
    content_ = loader.loadInto(layoutFile, this);
    new WindowChrome(this, WindowResizing::Fixed);
    notifications_.attach(content_);
    centreOverOwner();
}

void SkinnedDialog::centreOverOwner() {
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area;
    if (owner && owner->isVisible()) {
        area = owner->frameGeometry();
    } else if (const QScreen* screen = this->screen()) {
        area = screen->availableGeometry();
    }
    if (!area.isValid())
        return;
    QRect placed(QPoint(0, 0), size());
    placed.moveCenter(area.center());
    move(placed.topLeft());
}
