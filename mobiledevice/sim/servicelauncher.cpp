#include "servicelauncher.h"

#include "housearrest.h"
#include "installationproxy.h"
#include "simerror.h"

namespace plovik::sim {

namespace {

std::shared_ptr<ServiceConnection> makeService(const std::shared_ptr<SimDevice>& device,
                                               const std::string& name,
                                               const SimControls& controls) {
    const DeviceFolder& folder = device->folder();
    if (name == "com.apple.afc" || name == "com.apple.afc2") {
        UniqueFd served = folder.openSubfolder(name == "com.apple.afc" ? "Media" : "Root");
        if (!served.valid()) {
            return nullptr;
        }
        return ServiceConnection::forFolder(
            device, std::make_shared<const ConfinedFolder>(std::move(served), ""));
    }
    if (name == "com.apple.mobile.installation_proxy") {
        return ServiceConnection::forHandler(
            device, std::make_unique<InstallationProxy>(folder.openSubfolder("Apps"), controls),
            controls);
    }
    if (name == "com.apple.mobile.house_arrest") {
        return ServiceConnection::forHandler(
            device, std::make_unique<HouseArrest>(folder.openSubfolder("Apps"), controls),
            controls);
    }
    return nullptr;
}

}  // namespace

int launchService(const std::shared_ptr<SimDevice>& device, plist_t serviceName,
                  const SimControls& controls, std::shared_ptr<ServiceConnection>& service) {
    const auto name = stringValue(serviceName);
    if (!name) {
        return kSimInvalidArgument;
    }
    if (const int result = device->checkSession(); result != kSimSuccess) {
        return result;
    }
    if (controls.isServiceRefused(*name)) {
        return kSimServiceProhibited;
    }
    service = makeService(device, *name, controls);
    if (!service) {
        return kSimInvalidService;
    }
    if (!device->addService(service)) {
        service->shutDown();
        service.reset();
        return kSimInvalidHandle;
    }
    return kSimSuccess;
}

}  // namespace plovik::sim
