#pragma once

#include <functional>

#include <QHash>
#include <QString>
#include <QUiLoader>

/**
 * Builds widgets from the skin's layouts (Qt Designer XML) by file name.
 *
 * The layouts name five custom control classes: ListControl, DeviceTreeControl, CapacityControl,
 * ImageWell and LabelEx. A window that has the real control registers a factory for its class
 * name before loading; without one the loader puts a plain Qt stand-in of the same kind in its
 * place (a list view, a tree view, a container widget, a label, a label), so every layout loads
 * and its named controls can be found before the real controls exist.
 */
class LayoutLoader : public QUiLoader {
    Q_OBJECT
public:
    using ControlFactory = std::function<QWidget*(QWidget* parent)>;

    explicit LayoutLoader(QObject* parent = nullptr);

    /** Makes the loader create `className` controls with `factory`. */
    void setControlFactory(const QString& className, ControlFactory factory);

    /** The root widget of the layout `fileName` ("alert.xml"), or null when it cannot load. */
    QWidget* loadLayout(const QString& fileName, QWidget* parent = nullptr);

    /**
     * Loads a layout as the whole content of `host`, a window: the host takes the layout's size,
     * minimum and maximum size and title, and the skin's style sheet. Returns the layout's root.
     */
    QWidget* loadInto(const QString& fileName, QWidget* host);

    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override;

private:
    QHash<QString, ControlFactory> factories_;
};
