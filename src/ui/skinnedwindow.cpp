#include "ui/skinnedwindow.h"

#include "ui/layoutloader.h"
#include "ui/windowchrome.h"

SkinnedWindow::SkinnedWindow(QWidget* parent) : QWidget(parent, Qt::Window) {}

bool SkinnedWindow::loadLayout(LayoutLoader& loader, const QString& layoutFile) {
    if (content_)
        return false;
    content_ = loader.loadInto(layoutFile, this);
    if (!content_)
        return false;
    new WindowChrome(this, WindowResizing::Resizable);
    notifications_.attach(content_);
    notifications_.notify(NotificationType::WindowInit, objectName());
    return true;
}
