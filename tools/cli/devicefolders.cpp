#include "devicefolders.h"

#include <algorithm>

#include "commandfailure.h"
#include "devicepaths.h"
#include "fstree/devicepath.h"

using ZelboLib::FileSystemNode;
using NodePointer = std::shared_ptr<FileSystemNode>;

std::shared_ptr<AFCDirectory> connectionOf(const FileSystemNode& item, const std::string& path) {
    auto connection = item.directory();
    if (!connection)
        throw CommandFailure(path + ": not inside a file area of the device");
    return connection;
}

NodePointer folderForNewItems(DeviceSession& session, const std::string& path) {
    NodePointer folder = itemAt(session, path);
    if (!folder->isDirectory() || !folder->acceptsNewItems())
        throw CommandFailure(normalizedDevicePath(path) + ": not a folder that takes new items");
    return folder;
}

void makeDeviceFolder(DeviceSession& session, const std::string& shown) {
    if (shown == "/")
        throw CommandFailure("/: exists");
    const std::string parentPath = shown.substr(0, std::max<size_t>(shown.rfind('/'), 1));
    const NodePointer parent = folderForNewItems(session, parentPath);
    const auto connection = connectionOf(*parent, parentPath);
    const CZelboString target =
        joinDevicePath(parent->fullPath(), CZelboString::fromUtf8(lastComponent(shown)));
    // Asked of the device, not the tree: an earlier operand may have made it.
    if (connection->pathExists(target))
        throw CommandFailure(shown + ": exists");
    if (!connection->createDirectory(target))
        throw CommandFailure(shown + ": " + connection->errorText().toUtf8());
    // The parent's listing learns of the new folder.
    parent->loadChildren();
}
