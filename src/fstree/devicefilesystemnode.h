#pragma once

#include "fstree/filesystemnode.h"

namespace ZelboLib {

/**
 * The top node of one device. Its children are "Root" (where the device offers the whole file
 * system), "Media" and "Applications", built on first need. Its creator keeps it in a shared_ptr
 * and drops it when the device leaves; nodes still used elsewhere live on, and every device call
 * they make then fails.
 */
class DeviceFileSystemNode : public FileSystemNode {
public:
    static std::shared_ptr<DeviceFileSystemNode> create(std::shared_ptr<AMDevice> device);

    DeviceFileSystemNode(ConstructionKey key, Placement placement);
    /** Lets go of the shared app connection when it belongs to this device. */
    ~DeviceFileSystemNode() override;

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
