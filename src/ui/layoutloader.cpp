#include "ui/layoutloader.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QTreeView>
#include <QVBoxLayout>

#include "ui/skin.h"

namespace {

QWidget* createStandIn(const QString& className, QWidget* parent) {
    if (className == QLatin1String("ListControl"))
        return new QListView(parent);
    if (className == QLatin1String("DeviceTreeControl"))
        return new QTreeView(parent);
    if (className == QLatin1String("CapacityControl"))
        return new QWidget(parent);
    if (className == QLatin1String("ImageWell") || className == QLatin1String("LabelEx")) {
        return new QLabel(parent);
    }
    return nullptr;
}

}  // namespace

LayoutLoader::LayoutLoader(QObject* parent) : QUiLoader(parent) {
    Skin::initialise();
    // Image references in layouts are relative to the skin's root.
    setWorkingDirectory(QDir(QStringLiteral(":/skin")));
}

void LayoutLoader::setControlFactory(const QString& className, ControlFactory factory) {
    factories_.insert(className, std::move(factory));
}

QWidget* LayoutLoader::loadLayout(const QString& fileName, QWidget* parent) {
    QFile file(Skin::layoutPath(fileName));
    if (fileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        return nullptr;
    return load(&file, parent);
}

QWidget* LayoutLoader::loadInto(const QString& fileName, QWidget* host) {
    QWidget* root = loadLayout(fileName, host);
    if (!root)
        return nullptr;
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(root);
    host->setMinimumSize(root->minimumSize());
    host->setMaximumSize(root->maximumSize());
    host->resize(root->size().expandedTo(root->minimumSize()));
    if (!root->windowTitle().isEmpty())
        host->setWindowTitle(root->windowTitle());
    host->setStyleSheet(Skin::styleSheet());
    host->setFont(Skin::font(0));
    return root;
}

QWidget* LayoutLoader::createWidget(const QString& className, QWidget* parent,
                                    const QString& name) {
    QWidget* widget = nullptr;
    const auto factory = factories_.constFind(className);
    if (factory != factories_.constEnd()) {
        widget = (*factory)(parent);
    } else {
        widget = createStandIn(className, parent);
    }
    if (!widget)
        return QUiLoader::createWidget(className, parent, name);
    widget->setObjectName(name);
    return widget;
}
