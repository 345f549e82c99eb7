// The host's pair record for a device, as usbmuxd keeps it (ReadPairRecord).
#ifndef PLOVIK_USBMUX_PAIRRECORD_H
#define PLOVIK_USBMUX_PAIRRECORD_H

#include <optional>
#include <string>

namespace plovik::usbmux {

// The HostID of the pair record for udid; nothing when usbmuxd has no record, cannot be reached,
// or the record holds no HostID (a record that cannot open a session).
std::optional<std::string> readPairRecordHostId(const std::string& udid);

}  // namespace plovik::usbmux

#endif
