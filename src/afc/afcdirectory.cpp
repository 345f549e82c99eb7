#include "afc/afcdirectory.h"

#include "device/amdevice.h"
#include "device/callfailure.h"
#include "device/mobiledevicecalls.h"

AFCDirectory::~AFCDirectory() {
    if (connection_ != nullptr)
        MobileDevice::AFCConnectionClose(connection_);
}

bool AFCDirectory::open(AMDevice& device) {
    connection_ = nullptr;
    adoptServiceHandle(device.startService(serviceName_));
    if (serviceHandle() == nullptr)
        return false;
    return openConnection(u"AFCConnectionOpen failed: %x");
}

bool AFCDirectory::openConnection(const char16_t* failureFormat) {
    AFCConnectionRef connection = nullptr;
    const int result = MobileDevice::AFCConnectionOpen(serviceHandle(), 0, &connection);
    if (result != 0) {
        CZelboString text;
        text.format(failureFormat, result);
        setErrorText(std::move(text));
        return false;
    }
    connection_ = connection;
    return connection_ != nullptr;
}

bool AFCDirectory::reportResult(int code, const char* entryPoint) {
    setErrorText(code == 0 ? CZelboString() : callFailureText(entryPoint, code));
    return code == 0;
}

CZelboString AFCDirectory::errorText() const {
    const std::lock_guard lock(errorMutex_);
    return errorText_;
}

void AFCDirectory::setErrorText(CZelboString text) {
    const std::lock_guard lock(errorMutex_);
    errorText_ = std::move(text);
}
