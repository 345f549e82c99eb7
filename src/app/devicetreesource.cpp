#include "app/devicetreesource.h"

#include "app/devicetreecontrol.h"
#include "app/qtextconversion.h"
#include "device/amdevice.h"
#include "fstree/devicefilesystemnode.h"

namespace {

bool isReady(const AMDevice& device) {
    return device.accessState() == kAMDeviceAccessReady;
}

QString accessStateText(AMDeviceAccessState state) {
    switch (state) {
        case kAMDeviceAccessConnecting:
            return QStringLiteral("connecting");
        case kAMDeviceAccessLocked:
            return QStringLiteral("locked");
        case kAMDeviceAccessDenied:
            return QStringLiteral("trust refused");
        case kAMDeviceAccessReady:
        case kAMDeviceAccessUntrusted:
            break;
    }
    return QStringLiteral("not trusted");
}

QString deviceIcon(AMDevice::Family family) {
    switch (family) {
        case AMDevice::Family::iPodTouch:
            return QStringLiteral(":/skin/treeicons/itouch16.svg");
        case AMDevice::Family::iPhone:
            return QStringLiteral(":/skin/treeicons/iphone16.svg");
        case AMDevice::Family::iPad:
            return QStringLiteral(":/skin/treeicons/ipad16.svg");
        case AMDevice::Family::Unknown:
            break;
    }
    return {};
}

}  // namespace

DeviceTreeSource::DeviceTreeSource(const Devices& devices) : devices_(devices) {}

int DeviceTreeSource::numberOfRows(const DeviceTreeRow* row) {
    if (!row)
        return static_cast<int>(devices_.size());
    listedRow_ = row;
    listedSubfolders_.clear();
    if (!row->node || !isReady(*row->node->device()))
        return 0;
    listedSubfolders_ = row->node->subfolders();
    return static_cast<int>(listedSubfolders_.size());
}

TreeRowText DeviceTreeSource::textForRow(const DeviceTreeRow* row, int index) {
    if (!row) {
        if (index < 0 || static_cast<std::size_t>(index) >= devices_.size())
            return {};
        AMDevice& device = *devices_[static_cast<std::size_t>(index)]->device();
        if (isReady(device))
            return {toQString(device.name()), deviceIcon(device.deviceFamily())};
        // A device that allows no session may not tell its name or type; the row says why.
        const QString name =
            device.name().isEmpty() ? QStringLiteral("iOS Device") : toQString(device.name());
        return {QStringLiteral("%1 (%2)").arg(name, accessStateText(device.accessState())),
                deviceIcon(device.deviceFamily())};
    }
    const NodePointer node = nodeForRow(row, index);
    return node ? TreeRowText{toQString(node->name()), {}} : TreeRowText{};
}

DeviceTreeSource::NodePointer DeviceTreeSource::nodeForRow(const DeviceTreeRow* row, int index) {
    if (index < 0)
        return nullptr;
    const auto at = static_cast<std::size_t>(index);
    if (!row)
        return at < devices_.size() ? devices_[at] : nullptr;
    if (row != listedRow_)
        numberOfRows(row);
    return at < listedSubfolders_.size() ? listedSubfolders_[at] : nullptr;
}

bool DeviceTreeSource::hasChildren(const DeviceTreeRow* row) {
    if (!row)
        return true;
    if (!row->node || !isReady(*row->node->device()))
        return false;
    return row->node->knownToHaveSubfolders().value_or(true);
}

void DeviceTreeSource::setUpRow(DeviceTreeRow& row) {
    if (!row.node || row.node->isInsideArea())
        return;
    row.fixedHeight = 24;
    row.background = TreeRowBackground::TopOpaque;
}
