// Diagnostics of the library: one line on stderr per event worth a user's or developer's eye
// (a device that refuses a session, a malformed reply). The program has no log hook in the
// MobileDevice interface, so stderr is where its launcher or journal collects them.
#ifndef PLOVIK_USBMUX_LOG_H
#define PLOVIK_USBMUX_LOG_H

namespace plovik::usbmux {

void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace plovik::usbmux

#endif
