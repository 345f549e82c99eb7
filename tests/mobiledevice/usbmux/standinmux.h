// A usbmuxd stand-in on an AF_UNIX socket: device list and Listen events, pair records, and
// Connect to a device port, behind which the lockdown and AFC stand-ins answer. Just enough of
// the daemon for libusbmuxd 2.0 and libimobiledevice 1.3 to reach a device; not an emulator.
#ifndef PLOVIK_TESTS_USBMUX_STANDINMUX_H
#define PLOVIK_TESTS_USBMUX_STANDINMUX_H

#include "standinafc.h"
#include "standinlockdown.h"

#include <plist/plist.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace standin {

class StandInMux {
public:
    static constexpr uint16_t kAfcPort = 50001;
    static constexpr uint16_t kSilentPort = 50002;
    static constexpr uint16_t kDeafPort = 50003;  // never reads what it is sent

    explicit StandInMux(std::string socketPath);
    ~StandInMux();

    bool start();
    void attach(const DeviceState& device);
    void detach(uint32_t id);
    void update(const DeviceState& device);

    StandInAfc& afc() { return afc_; }

private:
    void acceptConnections();
    void serve(int socket);
    void connect(int socket, uint32_t tag, plist_t request);
    std::optional<DeviceState> device(uint32_t id);
    std::optional<DeviceState> deviceByUdid(const std::string& udid);
    void pushToListeners(plist_t event);

    const std::string socketPath_;
    int listener_ = -1;
    std::thread acceptThread_;
    StandInAfc afc_;

    std::mutex mutex_;
    bool stopping_ = false;
    std::vector<DeviceState> devices_;
    std::vector<int> listenSockets_;
    std::vector<int> sockets_;
    std::vector<std::thread> threads_;
};

}  // namespace standin

#endif
