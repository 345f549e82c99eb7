#pragma once

#include <QIcon>
#include <QList>
#include <QString>

class QMimeData;

/**
 * What the file list asks of the window that owns it. Everything but itemCount is answered from
 * memory (cached texts and information) on the user-interface thread.
 */
class ListviewDataSource {
public:
    virtual ~ListviewDataSource() = default;

    virtual int columnCount() = 0;
    /** "Name", "File Size", … ; "" outside the columns. */
    virtual QString columnTitle(int column) = 0;
    virtual int columnWidth(int column) = 0;
    /**
     * The number of items of the folder on show, building them (which may list the folder on the
     * device). The list calls it only from reload, on a worker thread run by its StepRunner,
     * while it shows no items.
     */
    virtual int itemCount() = 0;
    /** The item's text in column; "" for an item or column out of range. */
    virtual QString text(int item, int column) = 0;
    virtual bool isFolder(int item) = 0;
    /** The item's file-type icon (the platform's, by name); null out of range. */
    virtual QIcon icon(int item) = 0;
    /** The column the items are sorted by (-1 for none) and its direction, for the header mark. */
    virtual int sortColumn() = 0;
    virtual bool sortAscending() = 0;
    /** What dragging items out offers (the caller owns it); null when they cannot be dragged. */
    virtual QMimeData* dragData(const QList<int>& /*items*/) { return nullptr; }
};
