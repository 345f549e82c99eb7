#include "fstree/sharedappconnection.h"

#include "afc/afcapplicationdirectory.h"
#include "device/amdevice.h"

#include <utility>

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
    {
        const std::lock_guard lock(mutex_);
        if (connection_ && sameOwner(device_, device) && bundleIdentifier_ == bundleIdentifier)
            return connection_;
    }
    // Opened without the lock: a container takes several round trips, and a stalled device up
    // to a receive time-out, during which other threads must still reach the connection.
    std::shared_ptr<AFCDirectory> opened =
        device->openApplicationDirectory(bundleIdentifier.toUtf8().c_str());
    std::shared_ptr<AFCDirectory> replaced;
    {
        const std::lock_guard lock(mutex_);
        // Another thread may have opened the same container meanwhile: keep one of the two.
        if (connection_ && sameOwner(device_, device) && bundleIdentifier_ == bundleIdentifier)
            return connection_;
        if (!opened)
            return nullptr;
        replaced = std::exchange(connection_, opened);
        device_ = device;
        bundleIdentifier_ = bundleIdentifier;
    }
    // Released outside the lock; operations still holding it keep it open until they end.
    return opened;
}

void SharedAppConnection::forgetDevice(const AMDevice& device) {
    std::shared_ptr<AFCDirectory> forgotten;
    {
        const std::lock_guard lock(mutex_);
        if (device_.lock().get() != &device)
            return;
        forgotten = std::move(connection_);
        device_.reset();
        bundleIdentifier_ = CZelboString();
    }
}

}  // namespace ZelboLib
