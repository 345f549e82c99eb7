#pragma once

#include "device/amservice.h"
#include "values/nsarray.h"

/** Client of the installation proxy service: lists the installed user apps. */
class AMInstallationProxy : public AMService {
public:
    static constexpr const char* kServiceName = "com.apple.mobile.installation_proxy";

    /**
     * An owning array of AMApplication, in the order the device reported them; null when no app
     * was reported or the request could not be sent. After a failure (an error reply, a garbled
     * or missing reply) lastError() says what went wrong; after a complete listing it is empty.
     */
    ZelboLib::Owned<ZelboLib::NSArray> browseApplications();
};
