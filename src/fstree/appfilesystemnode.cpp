#include "fstree/appfilesystemnode.h"

#include "device/amapplication.h"
#include "device/amdevice.h"
#include "device/aminstallationproxy.h"
#include "fstree/devicefilesystemnode.h"
#include "values/nsarray.h"

namespace ZelboLib {

std::shared_ptr<AppFileSystemNode> AppFileSystemNode::create(
    const std::shared_ptr<DeviceFileSystemNode>& deviceNode) {
    Placement placement;
    placement.device = deviceNode->device();
    placement.deviceNode = deviceNode;
    placement.area = DeviceArea::AppContainer;
    placement.pathComponent = u"/";
    placement.fullPath = u"/";
    placement.name = u"Applications";
    placement.displayPath = u"/Applications";
    return std::make_shared<AppFileSystemNode>(ConstructionKey{}, std::move(placement));
}

AppFileSystemNode::AppFileSystemNode(ConstructionKey key, Placement placement)
    : FileSystemNode(key, std::move(placement)) {}

std::optional<bool> AppFileSystemNode::knownToHaveSubfolders() const {
    if (!childrenLoaded())
        return std::nullopt;
    return !children().empty();
}

void AppFileSystemNode::listChildren(EntryInfo /*info*/) {
    NodeList containers;
    const Owned<AMInstallationProxy> proxy = device()->openInstallationProxy();
    const Owned<NSArray> apps = proxy ? proxy->browseApplications() : nullptr;
    if (apps) {
        const std::shared_ptr<FileSystemNode> self = shared_from_this();
        for (int index = 0; index < apps->count(); ++index) {
            if (const auto* app = dynamic_cast<const AMApplication*>(apps->objectAtIndex(index))) {
                containers.push_back(
                    makeAppContainer(self, app->displayName(), app->bundleIdentifier()));
            }
        }
    }
    replaceChildren(std::move(containers));
}

}  // namespace ZelboLib
