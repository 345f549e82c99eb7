#include "devicefolder.h"

#include "plistfile.h"
#include "plovik_sim.h"

#include <fcntl.h>

namespace plovik::sim {

namespace {

constexpr const char* kAccessStateKey = "AccessState";

bool parseAccessState(plist_t values, int& state) {
    const plist_t node = plist_dict_get_item(values, kAccessStateKey);
    if (node == nullptr) {
        state = kAMDeviceAccessReady;
        return true;
    }
    const auto text = stringValue(node);
    if (text == "Ready") {
        state = kAMDeviceAccessReady;
    } else if (text == "Locked") {
        state = kAMDeviceAccessLocked;
    } else if (text == "Untrusted") {
        state = kAMDeviceAccessUntrusted;
    } else {
        return false;
    }
    return true;
}

}  // namespace

int DeviceFolder::open(const char* path, std::unique_ptr<DeviceFolder>& folder) {
    if (path == nullptr) {
        return kPlovikSimBadArgument;
    }
    UniqueFd descriptor(::open(path, O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!descriptor.valid()) {
        return kPlovikSimBadDeviceFolder;
    }
    PlistPtr values = readPlistFile(descriptor.get(), "device.plist");
    if (!isDictionary(values.get())) {
        return kPlovikSimBadDeviceFolder;
    }
    const auto uniqueDeviceId = stringEntry(values.get(), "UniqueDeviceID");
    int accessState = kAMDeviceAccessReady;
    if (!uniqueDeviceId || uniqueDeviceId->empty() ||
        !parseAccessState(values.get(), accessState)) {
        return kPlovikSimBadDeviceFolder;
    }
    plist_dict_remove_item(values.get(), kAccessStateKey);
    folder.reset(
        new DeviceFolder(std::move(descriptor), std::move(values), *uniqueDeviceId, accessState));
    return kPlovikSimOk;
}

DeviceFolder::DeviceFolder(UniqueFd folder, PlistPtr values, std::string uniqueDeviceId,
                           int initialAccessState)
    : folder_(std::move(folder)),
      values_(std::move(values)),
      uniqueDeviceId_(std::move(uniqueDeviceId)),
      initialAccessState_(initialAccessState) {}

UniqueFd DeviceFolder::openSubfolder(const char* name) const {
    return UniqueFd(::openat(folder_.get(), name, O_PATH | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace plovik::sim
