#include "fstree/sharedappconnection.h"

#include "afc/afcapplicationdirectory.h"
#include "device/amdevice.h"

namespace ZelboLib {

namespace {

bool sameOwner(const std::weak_ptr<AMDevice>& a, const std::shared_ptr<AMDevice>& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

SharedAppConnection& SharedAppConnection::instance() {
    static SharedAppConnection shared;
    return shared;
}

std::shared_ptr<AFCDirectory> SharedAppConnection::connectionFor(
    const std::shared_ptr<AMDevice>& device, const CZelboString& bundleIdentifier) {
    if (!device || bundleIdentifier.isEmpty())
        return nullptr;
    const std::lock_guard lock(mutex_);
    if (connection_ && sameOwner(device_, device) && bundleIdentifier_ == bundleIdentifier)
        return connection_;
    // Dropping our reference only: operations still holding the old connection keep it open.
    connection_.reset();
    device_ = device;
    bundleIdentifier_ = bundleIdentifier;
    connection_ = device->openApplicationDirectory(bundleIdentifier.toUtf8().c_str());
    return connection_;
}

void SharedAppConnection::forgetDevice(const AMDevice& device) {
    const std::lock_guard lock(mutex_);
    if (device_.lock().get() != &device)
        return;
    connection_.reset();
    device_.reset();
    bundleIdentifier_ = CZelboString();
}

}  // namespace ZelboLib
