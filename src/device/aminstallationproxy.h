#pragma once

#include "device/amservice.h"
#include "values/nsarray.h"

/** Client of the installation proxy service: lists the installed user apps. */
class AMInstallationProxy : public AMService {
public:
    static constexpr const char* kServiceName = "com.apple.mobile.installation_proxy";

    /**
     * An owning array of AMApplication, in the order the device reported them; null when no app
     * was reported or the request could not be sent.
     */
    ZelboLib::Owned<ZelboLib::NSArray> browseApplications();
};
