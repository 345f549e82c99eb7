#pragma once

#include <QString>

/** Receives the item chosen in a pop-up menu, named by its menu file and item name. */
class MenuDelegate {
public:
    virtual ~MenuDelegate() = default;

    /** Called on the GUI thread while the menu closes; defer long work past the menu's end. */
    virtual void menuItemChosen(const QString& menuFile, const QString& itemName) = 0;
};
