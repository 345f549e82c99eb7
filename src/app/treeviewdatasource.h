#pragma once

#include <memory>

#include <QString>
#include <QStringList>

namespace ZelboLib {
class FileSystemNode;
}

struct DeviceTreeRow;

/** A row's text as the data source gives it: a name, and the icon resource drawn before it. */
struct TreeRowText {
    QString name;
    /** A skin resource (":/skin/treeicons/iphone16.svg"); empty for the folder icon. */
    QString icon;
};

/**
 * What the device tree asks of the window that owns it; row null stands for the hidden root.
 * numberOfRows, textForRow and nodeForRow may talk to the device: the tree calls them only inside
 * a step of its StepRunner (on a worker thread), one expansion at a time.
 */
class TreeviewDataSource {
public:
    using NodePointer = std::shared_ptr<ZelboLib::FileSystemNode>;

    virtual ~TreeviewDataSource() = default;

    /** The devices for the root; a row's subfolders otherwise; 0 for a row without node. */
    virtual int numberOfRows(const DeviceTreeRow* row) = 0;
    virtual TreeRowText textForRow(const DeviceTreeRow* row, int index) = 0;
    virtual NodePointer nodeForRow(const DeviceTreeRow* row, int index) = 0;
    /** From memory only (GUI thread): false once the row's node is known to have no subfolder. */
    virtual bool hasChildren(const DeviceTreeRow* row) = 0;
    /** Styles a new row (GUI thread): fixed height and background of device and app-list rows. */
    virtual void setUpRow(DeviceTreeRow& row) = 0;
};

/** What the device tree reports to the window that owns it. */
class TreeviewDelegate {
public:
    virtual ~TreeviewDelegate() = default;

    /** The selected row changed (either may be null). */
    virtual void rowSelected(DeviceTreeRow* selected, DeviceTreeRow* previous) = 0;
    /** A click in a collapsed row's expander will list count rows ("Expanding %d items..."). */
    virtual void expandingRows(int count) = 0;
    /** The expansion expandingRows announced has ended. */
    virtual void rowsExpanded() = 0;
    /** Local files and folders were dropped on row, whose node takes new items. */
    virtual void filesDroppedOnRow(DeviceTreeRow& row, const QStringList& paths) = 0;
};
