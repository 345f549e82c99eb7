#include "deviceports.h"

#include "afcserver.h"
#include "lockdownserver.h"
#include "plistserviceserver.h"
#include "serviceports.h"

#include "housearrest.h"
#include "installationproxy.h"

namespace plovik::devemu {

namespace {

const char* servedSubfolder(const std::string& service) {
    return service == "com.apple.afc" ? "Media" : service == "com.apple.afc2" ? "Root" : nullptr;
}

}  // namespace

bool listensOn(const EmulatedDevice& device, uint16_t port) {
    if (port == kLockdownPort) {
        return true;
    }
    const std::string service = serviceAtPort(port);
    if (service.empty() || device.faults().refuses(service)) {
        return false;
    }
    const char* subfolder = servedSubfolder(service);
    return subfolder == nullptr || device.model()->folder().openSubfolder(subfolder).valid();
}

void serveOnPort(int socket, EmulatedDevice& device, uint16_t port) {
    if (port == kLockdownPort) {
        LockdownServer(device).serve(socket);
        return;
    }
    const std::string service = serviceAtPort(port);
    const sim::DeviceFolder& folder = device.model()->folder();
    if (const char* subfolder = servedSubfolder(service)) {
        sim::UniqueFd served = folder.openSubfolder(subfolder);
        if (served.valid()) {
            AfcServer(device, std::make_shared<const sim::ConfinedFolder>(std::move(served), ""))
                .serve(socket);
        }
    } else if (service == "com.apple.mobile.installation_proxy") {
        sim::InstallationProxy handler(folder.openSubfolder("Apps"), device.controls());
        PlistServiceServer(device, handler).serve(socket);
    } else if (service == "com.apple.mobile.house_arrest") {
        sim::HouseArrest handler(folder.openSubfolder("Apps"), device.controls());
        PlistServiceServer(device, handler).serve(socket);
    }
}

}  // namespace plovik::devemu
