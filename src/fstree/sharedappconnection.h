#pragma once

#include <memory>
#include <mutex>

#include "values/zelbostring.h"

class AFCDirectory;
class AMDevice;

namespace ZelboLib {

/**
 * The one app-container connection of the process, remembered with the device and the app it
 * was opened for, under one lock. Asking for another app (or another device) opens a new
 * connection that replaces the remembered one, so browsing two containers alternately reopens
 * on every switch.
 *
 * Callers share ownership of what they get: a replaced connection stays open until the last
 * operation using it (a listing, an open file, a transfer) lets go of it, so no thread ever has
 * its connection closed underneath it.
 */
class SharedAppConnection {
public:
    static SharedAppConnection& instance();

    /**
     * The connection to bundleIdentifier's container on device: the remembered one when it is
     * for the same app (exact comparison) on the same device, else a new one. Null when the
     * container cannot be opened or bundleIdentifier is empty.
     */
    std::shared_ptr<AFCDirectory> connectionFor(const std::shared_ptr<AMDevice>& device,
                                                const CZelboString& bundleIdentifier);
    /** Lets go of the remembered connection when it belongs to device. */
    void forgetDevice(const AMDevice& device);

    SharedAppConnection(const SharedAppConnection&) = delete;
    SharedAppConnection& operator=(const SharedAppConnection&) = delete;

private:
    SharedAppConnection() = default;

    std::mutex mutex_;
    // Weak: the remembered connection must not keep an unplugged device alive. Compared by owner,
    // so a new device at the address of a freed one is never taken for it.
    std::weak_ptr<AMDevice> device_;
    CZelboString bundleIdentifier_;
    std::shared_ptr<AFCDirectory> connection_;
};

}  // namespace ZelboLib
