#pragma once

#include <QString>
#include <QWidget>

/**
 * Finding a layout's controls by name. A control that the layout does not hold is a null
 * pointer, and the setters skip it, so windows never depend on every control being there.
 */
namespace Controls {

template <class T = QWidget>
T* find(const QWidget* root, const QString& name) {
    return root ? root->findChild<T*>(name) : nullptr;
}

inline void setVisible(const QWidget* root, const QString& name, bool visible) {
    if (auto* control = find(root, name))
        control->setVisible(visible);
}

inline void setEnabled(const QWidget* root, const QString& name, bool enabled) {
    if (auto* control = find(root, name))
        control->setEnabled(enabled);
}

}  // namespace Controls
