#ifndef PLOVIK_SIM_DEVICEFOLDER_H
#define PLOVIK_SIM_DEVICEFOLDER_H

#include "plistnodes.h"
#include "uniquefd.h"

#include <memory>
#include <string>

namespace plovik::sim {

// The folder of a simulated device and the values read from its device.plist at attach time.
class DeviceFolder {
public:
    // Opens the folder and reads device.plist; a PlovikSimResult.
    static int open(const char* path, std::unique_ptr<DeviceFolder>& folder);

    const std::string& uniqueDeviceId() const { return uniqueDeviceId_; }
    int initialAccessState() const { return initialAccessState_; }
    // The lockdown values: the top-level dictionary of device.plist without AccessState.
    plist_t values() const { return values_.get(); }

    // An O_PATH descriptor of a subfolder (Media, Root, Apps); invalid when it is missing.
    UniqueFd openSubfolder(const char* name) const;

private:
    DeviceFolder(UniqueFd folder, PlistPtr values, std::string uniqueDeviceId,
                 int initialAccessState);

    UniqueFd folder_;
    PlistPtr values_;
    std::string uniqueDeviceId_;
    int initialAccessState_;
};

}  // namespace plovik::sim

#endif
