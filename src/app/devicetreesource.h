#pragma once

#include <memory>
#include <vector>

#include "app/treeviewdatasource.h"

namespace ZelboLib {
class DeviceFileSystemNode;
}

/**
 * The device tree's rows: the attached devices on top (a device that allows no session yet says
 * why, "iOS Device (locked)"), each area's and folder's subfolders below, listed on the step
 * runner's worker. Device and app-list rows have their own height and background.
 */
class DeviceTreeSource : public TreeviewDataSource {
public:
    using Devices = std::vector<std::shared_ptr<ZelboLib::DeviceFileSystemNode>>;

    /** devices: the window's attached devices, in arrival order; must outlive the source. */
    explicit DeviceTreeSource(const Devices& devices);

    int numberOfRows(const DeviceTreeRow* row) override;
    TreeRowText textForRow(const DeviceTreeRow* row, int index) override;
    NodePointer nodeForRow(const DeviceTreeRow* row, int index) override;
    bool hasChildren(const DeviceTreeRow* row) override;
    void setUpRow(DeviceTreeRow& row) override;

private:
    const Devices& devices_;
    // Filled by numberOfRows inside a step, read by textForRow and nodeForRow of the same step.
    const DeviceTreeRow* listedRow_ = nullptr;
    std::vector<NodePointer> listedSubfolders_;
};
