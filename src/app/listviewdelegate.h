#pragma once

#include <QPoint>
#include <QStringList>

/** What the file list reports to the window that owns it. Items are indices; -1 for none. */
class ListviewDelegate {
public:
    virtual ~ListviewDelegate() = default;

    /**
     * A right click (or the context-menu key) on item, or on empty space (-1), at a global
     * position; the key gives the first selected item and the cursor position.
     */
    virtual void rightClick(int item, QPoint globalPosition) = 0;
    /**
     * The selection changed: item is the item the change concerns, or -1 when it concerns all
     * items (after a reload, a click on empty space, a deselection).
     */
    virtual void itemChanged(int item) = 0;
    virtual void doubleClick(int item) = 0;
    /** Local files and folders dropped on the list, at a position in the list's coordinates. */
    virtual void filesDropped(const QStringList& paths, QPoint position) = 0;
    virtual void headerClicked(int column) = 0;
};
