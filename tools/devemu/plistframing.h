// The framing of lockdown and the property-list services: a 4-byte big-endian length, then the
// property list.
#ifndef PLOVIK_DEVEMU_PLISTFRAMING_H
#define PLOVIK_DEVEMU_PLISTFRAMING_H

#include "plistitems.h"

#include <cstdint>
#include <string>

namespace plovik::devemu {

// Far above any request a client sends: a larger length is a stream out of step.
constexpr uint32_t kLargestFramedMessage = 16 << 20;

// The message bytes; false when the peer closed or sent no whole message.
bool receiveFramed(int socket, std::string& message);
// request is null when the message is not a property list.
bool receiveFramedPlist(int socket, Plist& request);
// The length prefix and the body in one buffer: the client reads the prefix with a single recv.
std::string framed(const std::string& message);
std::string framedPlist(plist_t message);

}  // namespace plovik::devemu

#endif
