#include "device/aminstallationproxy.h"

#include "device/amapplication.h"

using ZelboLib::NSArray;
using ZelboLib::Owned;

namespace {

PlistPtr browseRequest() {
    PlistPtr request(plist_new_dict());
    plist_dict_set_item(request.get(), "Command", plist_new_string("Browse"));
    plist_t options = plist_new_dict();
    plist_dict_set_item(options, "ApplicationType",
                        ZelboLib::plistStringFromText(u"User").release());
    plist_dict_set_item(request.get(), "ClientOptions", options);
    return request;
}

}  // namespace

Owned<NSArray> AMInstallationProxy::browseApplications() {
    if (!sendMessage(browseRequest().get()))
        return nullptr;
    Owned<NSArray> applications(new NSArray(true));
    // Pages come while the status says so; "Complete", an error or silence ends the listing.
    for (PlistPtr reply = receiveMessage(); reply; reply = receiveMessage()) {
        plist_t list = plist_dict_get_item(reply.get(), "CurrentList");
        if (plist_get_node_type(list) == PLIST_ARRAY) {
            const uint32_t count = plist_array_get_size(list);
            for (uint32_t i = 0; i < count; ++i) {
                plist_t app = plist_array_get_item(list, i);
                if (plist_get_node_type(app) != PLIST_DICT)
                    continue;  // garbage, not an app
                applications->addObject(new AMApplication(app));
            }
        }
        CZelboString error;
        if (ZelboLib::stringForKey(reply.get(), "Error", error)) {
            CZelboString text;
            text.format(u"Browse failed: %s", error);
            setLastErrorText(std::move(text));
            break;
        }
        CZelboString status;
        ZelboLib::stringForKey(reply.get(), "Status", status);
        if (!status.equals(u"BrowsingApplications"))
            break;
    }
    if (applications->count() == 0)
        return nullptr;
    return applications;
}
