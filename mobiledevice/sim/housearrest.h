#ifndef PLOVIK_SIM_HOUSEARREST_H
#define PLOVIK_SIM_HOUSEARREST_H

#include "requesthandler.h"
#include "simcontrols.h"
#include "uniquefd.h"

#include <string>

namespace plovik::sim {

// House arrest: vends an app's Container folder (VendContainer) or its Documents folder alone
// (VendDocuments), after which the connection speaks AFC over it.
class HouseArrest : public RequestHandler {
public:
    // apps may be invalid: a device without an Apps folder has no apps.
    HouseArrest(UniqueFd apps, const SimControls& controls)
        : apps_(std::move(apps)), controls_(controls) {}

    ServiceReply respond(plist_t request) override;

private:
    // The Container folder of the app; invalid when there is no such app.
    UniqueFd openContainer(const std::string& identifier) const;

    UniqueFd apps_;
    const SimControls& controls_;
};

}  // namespace plovik::sim

#endif
