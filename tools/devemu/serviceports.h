// The device ports of lockdown and of the services it starts.
#ifndef PLOVIK_DEVEMU_SERVICEPORTS_H
#define PLOVIK_DEVEMU_SERVICEPORTS_H

#include <cstdint>
#include <string>

namespace plovik::devemu {

constexpr uint16_t kLockdownPort = 62078;

// 0 for a service the emulator does not know.
uint16_t portOfService(const std::string& name);
// Empty for a port no service listens on.
std::string serviceAtPort(uint16_t port);

}  // namespace plovik::devemu

#endif
