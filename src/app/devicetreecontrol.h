#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <QPoint>
#include <QString>
#include <QWidget>

#include "app/steprunner.h"
#include "app/treeviewdatasource.h"

class QAbstractItemView;

/** The background a row is drawn on. */
enum class TreeRowBackground {
    None,
    Top,         // tree_top, faded (device rows as created)
    TopOpaque,   // tree_top at full strength (device and app-list rows once set up)
    TopFocused,  // tree_top_focused (the selected device row)
};

/**
 * One row of the device tree: a device, an area, the app list, a container or a folder. Rows
 * hold their texts, so painting never asks a node; a row owns its children, not its node.
 */
struct DeviceTreeRow {
    DeviceTreeRow* parent = nullptr;
    std::vector<std::unique_ptr<DeviceTreeRow>> children;
    /** -1 for the hidden root, 0 for device rows, parent's level + 1 below. */
    int level = -1;
    /** Whether the row shows its children; rows start collapsed, device rows expanded. */
    bool expanded = false;
    /** Set once the row's node is known to have no subfolders: no expander is drawn. */
    bool knownEmpty = false;
    TreeRowText text;
    std::shared_ptr<ZelboLib::FileSystemNode> node;
    /** 0 for the tree's default row height. */
    int fixedHeight = 0;
    TreeRowBackground background = TreeRowBackground::None;
};

/**
 * The device tree ("DeviceTreeControl" in the layouts): one top-level row per device and below it
 * the device's areas and folders, listed on first expansion only. Each row draws its indentation
 * (12 pixels per level), its expander (tree_expand strip; none once known empty), its icon and its
 * name. A click inside a row's expander zone expands or collapses it (with "Expanding %d items..."
 * and the busy indicator when it lists rows); a double click toggles it at once. Wheel turns
 * scroll with a short animation. GUI thread only.
 *
 * The data source's device calls run inside the step runner and see a detached copy of the row
 * (same level, texts and node, no parent or children), so a row deleted meanwhile (its device
 * left while the step ran) is never touched from the worker; the step's results for it are then
 * dropped. When a deletion takes the selected row, the selection moves first (to the next row at
 * the deleted row's level, else the one before, else its parent) and the delegate hears of it.
 */
class DeviceTreeControl : public QWidget {
    Q_OBJECT
public:
    explicit DeviceTreeControl(QWidget* parent = nullptr);
    ~DeviceTreeControl() override;

    void setDataSource(TreeviewDataSource* dataSource);
    void setDelegate(TreeviewDelegate* delegate);
    /** How expansions run the data source's device calls; runDeviceStep unless set. */
    void setStepRunner(StepRunner runner);
    /** The widget the busy indicator of an expansion turns over; the tree unless set. */
    void setBusyIndicatorHost(QWidget* host);

    /** Brings the device rows in line with the data source's devices (adds, or deletes gone). */
    void reload();
    /** Adds a row below parent (null for a device row) after its last child; returns it. */
    DeviceTreeRow* addRow(const TreeRowText& text, DeviceTreeRow* parent);
    /** Expands or collapses row, listing its children on the first expansion. */
    void setExpanded(DeviceTreeRow* row, bool expanded);
    /** Deletes row and everything below it. */
    void deleteRow(DeviceTreeRow* row);
    /** Deletes every row below row, so that its next expansion lists them again. */
    void rebuildChildren(DeviceTreeRow* row);
    /**
     * Repaints row (after its fields were changed, e.g. its background); its expander goes when
     * the data source says it has no children.
     */
    void redrawRow(DeviceTreeRow* row);
    /** The horizontal range of row's expander, relative to the row's left edge: [first, last). */
    static std::pair<int, int> expanderZone(const DeviceTreeRow& row);

    /** The device rows, in order. */
    std::vector<DeviceTreeRow*> deviceRows() const;
    DeviceTreeRow* selectedRow() const;
    /** Selects row (null clears the selection); the delegate hears of a change. */
    void selectRow(DeviceTreeRow* row);
    /**
     * The row that shows node: searched in the selected row and its child rows, then its
     * ancestors (nearest first), then every row from the first in display order; null when no
     * row shows it.
     */
    DeviceTreeRow* findRow(const ZelboLib::FileSystemNode* node) const;
    /** The child row of parent (null for the device rows) that shows node, or null. */
    DeviceTreeRow* childRow(const DeviceTreeRow* parent,
                            const ZelboLib::FileSystemNode* node) const;

    /** The view that draws the rows (for tests and the indicator). */
    QAbstractItemView* view() const;

private:
    void expandOrCollapseAt(DeviceTreeRow& row, QPoint pointInRow);
    bool listChildren(DeviceTreeRow& row);
    void moveSelectionOffRow(const DeviceTreeRow& doomed);

    struct Private;
    std::unique_ptr<Private> d_;
};
