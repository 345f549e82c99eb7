#pragma once

// ifuse mounted on the emulated device for one measurement (libimobiledevice's AFC client under
// FUSE), unmounted when the object goes. A mount that cannot be made leaves the reason instead.

#include <filesystem>
#include <string>

class FuseMount {
public:
    /** Empty when a FUSE mount can be tried here; otherwise why not. */
    static std::string unavailableReason();

    /** Mounts the device behind socketAddress (USBMUXD_SOCKET_ADDRESS) at mountPoint, which
     * must be an empty folder; ifuse's messages go to errorFile. */
    FuseMount(const std::filesystem::path& mountPoint, const std::string& socketAddress,
              const std::filesystem::path& errorFile);
    ~FuseMount();
    FuseMount(const FuseMount&) = delete;
    FuseMount& operator=(const FuseMount&) = delete;

    bool mounted() const { return failure_.empty(); }
    /** Why the mount failed; empty when it is mounted. */
    const std::string& failure() const { return failure_; }

private:
    std::filesystem::path mountPoint_;
    std::filesystem::path errorFile_;
    std::string failure_;
};
