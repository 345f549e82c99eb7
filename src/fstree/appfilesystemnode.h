#pragma once

#include "fstree/filesystemnode.h"

namespace ZelboLib {

/**
 * The "Applications" node of a device: one container node per installed user app, in the order
 * the device lists them, each named by the app's display name.
 */
class AppFileSystemNode : public FileSystemNode {
public:
    static std::shared_ptr<AppFileSystemNode> create(
        const std::shared_ptr<DeviceFileSystemNode>& deviceNode);

    AppFileSystemNode(ConstructionKey key, Placement placement);

    void listChildren(EntryInfo info) override;
    NodeList subfolders() override { return ensureChildren(); }
    /** Every child is a folder. */
    std::optional<bool> knownToHaveSubfolders() const override;
    bool isDirectory() override { return true; }
    bool canRemoveOrRename() const override { return false; }
    bool acceptsNewItems() const override { return false; }
    bool isInsideArea() const override { return false; }
};

}  // namespace ZelboLib
