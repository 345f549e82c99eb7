// Lockdown stand-in: QueryType, GetValue, Pair (always pending), StartSession, StopSession and
// StartService over the 4-byte big-endian length framing, answering for one device.
#ifndef PLOVIK_TESTS_USBMUX_STANDINLOCKDOWN_H
#define PLOVIK_TESTS_USBMUX_STANDINLOCKDOWN_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace standin {

struct DeviceState {
    uint32_t id = 0;
    std::string udid;
    bool paired = true;        // usbmuxd holds a pair record for it
    std::string sessionError;  // the Error StartSession answers with, empty for success
};

// Serves until the peer closes; state is read again for every request.
void serveLockdown(int socket, const std::function<std::optional<DeviceState>()>& state);

}  // namespace standin

#endif
