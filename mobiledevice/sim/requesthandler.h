#ifndef PLOVIK_SIM_REQUESTHANDLER_H
#define PLOVIK_SIM_REQUESTHANDLER_H

#include "confinedfolder.h"
#include "plistnodes.h"

#include <memory>
#include <vector>

namespace plovik::sim {

// What a service server sends back for one request.
struct ServiceReply {
    std::vector<PlistPtr> messages;
    // Set when the connection speaks AFC over this folder from now on (house arrest).
    std::shared_ptr<const ConfinedFolder> vendedFolder;
};

// The protocol of one property-list service: a reply for each request.
class RequestHandler {
public:
    virtual ~RequestHandler() = default;
    // request is null when the client sent something that is not a property list.
    virtual ServiceReply respond(plist_t request) = 0;

protected:
    static PlistPtr errorMessage(const char* errorName) {
        PlistPtr message(plist_new_dict());
        plist_dict_set_item(message.get(), "Error", plist_new_string(errorName));
        return message;
    }

    static PlistPtr statusMessage(const char* status) {
        PlistPtr message(plist_new_dict());
        plist_dict_set_item(message.get(), "Status", plist_new_string(status));
        return message;
    }
};

}  // namespace plovik::sim

#endif
