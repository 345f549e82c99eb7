// Result codes of the entry points. Lockdown failures pass through as libimobiledevice's
// lockdownd_error_t values (negative), AFC failures as AFC status codes (positive), so a code
// in a log can be looked up in lockdown.h or afc.h. The codes below are the library's own.
#ifndef PLOVIK_USBMUX_RESULTS_H
#define PLOVIK_USBMUX_RESULTS_H

namespace plovik::usbmux {

inline constexpr int kSuccess = 0;

// Lockdown side, chosen from lockdownd_error_t's range.
inline constexpr int kInvalidHandle = -1;  // unknown, removed or null handle; bad argument
inline constexpr int kNoConnection = -8;   // no lockdown connection (AMDeviceConnect missing)
inline constexpr int kNoSession = -9;      // no lockdown session (AMDeviceStartSession missing)

// AFC side, chosen from afc_error_t's range.
inline constexpr int kAfcInvalidArgument = 7;    // unknown connection, null path or pointer
inline constexpr int kAfcBadReply = 2;           // reply out of sequence or malformed
inline constexpr int kAfcUnexpectedReply = 15;   // a reply operation the request cannot have
inline constexpr int kAfcConnectionFailed = 30;  // send or receive failed; the stream is lost
inline constexpr int kAfcNotEnoughData = 32;     // peer closed or timed out mid-reply

}  // namespace plovik::usbmux

#endif
