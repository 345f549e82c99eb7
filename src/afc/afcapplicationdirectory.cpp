#include "afc/afcapplicationdirectory.h"

#include "device/amdevice.h"

namespace {

PlistPtr vendRequest(const char* command, const char* bundleIdentifier) {
    PlistPtr request(plist_new_dict());
    plist_dict_set_item(request.get(), "Command", plist_new_string(command));
    plist_dict_set_item(request.get(), "Identifier", plist_new_string(bundleIdentifier));
    return request;
}

}  // namespace

AFCApplicationDirectory::Vend AFCApplicationDirectory::vend(const char* command,
                                                            const char* bundleIdentifier,
                                                            AMDevice& device,
                                                            CZelboString& refusal) {
    // A fresh connection per command: the device ends the exchange after refusing.
    adoptServiceHandle(device.startService(kServiceName));
    if (serviceHandle() == nullptr)
        return Vend::Failed;
    if (!sendMessage(vendRequest(command, bundleIdentifier).get()))
        return Vend::Failed;
    const PlistPtr reply = receiveMessage();
    if (plist_get_node_type(reply.get()) != PLIST_DICT)
        return Vend::Failed;
    if (plist_dict_get_item(reply.get(), "Error") == nullptr)
        return Vend::Agreed;
    refusal = CZelboString();
    ZelboLib::stringForKey(reply.get(), "Error", refusal);
    return Vend::Refused;
}

bool AFCApplicationDirectory::openContainer(const char* bundleIdentifier, AMDevice& device) {
    CZelboString refusal;
    Vend outcome = vend("VendContainer", bundleIdentifier, device, refusal);
    if (outcome == Vend::Refused) {
        // Current iOS keeps most App Store apps' containers closed but vends their documents.
        CZelboString documentsRefusal;
        outcome = vend("VendDocuments", bundleIdentifier, device, documentsRefusal);
    }
    if (outcome == Vend::Refused) {
        CZelboString text;
        text.format(u"House Arrest failed, %s", refusal);
        setErrorText(std::move(text));
        return false;
    }
    if (outcome == Vend::Failed) {
        setErrorText(lastError());
        return false;
    }
    if (!openConnection(u"AFCConnectionOpen failed, %x"))
        return false;
    setErrorText({});
    return true;
}
