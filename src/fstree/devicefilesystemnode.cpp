#include "fstree/devicefilesystemnode.h"

#include "afc/afcmediadirectory.h"
#include "afc/afcrootdirectory.h"
#include "device/amdevice.h"
#include "fstree/appfilesystemnode.h"
#include "fstree/sharedappconnection.h"

namespace ZelboLib {

std::shared_ptr<DeviceFileSystemNode> DeviceFileSystemNode::create(
    std::shared_ptr<AMDevice> device) {
    Placement placement;
    placement.pathComponent = u"/";
    placement.fullPath = u"/";
    placement.name = device->name();
    placement.displayPath = CZelboString(u"/").concat(placement.name);
    placement.device = std::move(device);
    return std::make_shared<DeviceFileSystemNode>(ConstructionKey{}, std::move(placement));
}

DeviceFileSystemNode::DeviceFileSystemNode(ConstructionKey key, Placement placement)
    : FileSystemNode(key, std::move(placement)) {}

DeviceFileSystemNode::~DeviceFileSystemNode() {
    SharedAppConnection::instance().forgetDevice(*device());
}

std::optional<bool> DeviceFileSystemNode::knownToHaveSubfolders() const {
    if (!childrenLoaded())
        return std::nullopt;
    return !children().empty();
}

void DeviceFileSystemNode::listChildren(EntryInfo /*info*/) {
    const auto self = std::static_pointer_cast<DeviceFileSystemNode>(shared_from_this());
    NodeList areas;
    if (std::shared_ptr<AFCDirectory> root = device()->openRootDirectory()) {
        areas.push_back(
            makeAreaRoot(device(), self, u"Root", DeviceArea::FileSystem, std::move(root)));
    }
    if (std::shared_ptr<AFCDirectory> media = device()->openMediaDirectory()) {
        areas.push_back(
            makeAreaRoot(device(), self, u"Media", DeviceArea::Media, std::move(media)));
    }
    areas.push_back(AppFileSystemNode::create(self));
    replaceChildren(std::move(areas));
}

}  // namespace ZelboLib
