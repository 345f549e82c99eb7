#ifndef PLOVIK_SIM_INSTALLATIONPROXY_H
#define PLOVIK_SIM_INSTALLATIONPROXY_H

#include "requesthandler.h"
#include "simcontrols.h"
#include "uniquefd.h"

#include <string>

namespace plovik::sim {

// The installation proxy: Browse lists the apps of the device's Apps folder in pages.
class InstallationProxy : public RequestHandler {
public:
    // apps may be invalid: a device without an Apps folder has no apps.
    InstallationProxy(UniqueFd apps, const SimControls& controls)
        : apps_(std::move(apps)), controls_(controls) {}

    ServiceReply respond(plist_t request) override;

private:
    // The app dictionaries of the given ApplicationType ("Any" for all), by bundle identifier.
    std::vector<PlistPtr> appsOfType(const std::string& applicationType) const;

    UniqueFd apps_;
    const SimControls& controls_;
};

}  // namespace plovik::sim

#endif
