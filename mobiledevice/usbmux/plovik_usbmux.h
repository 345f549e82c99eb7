/*
 * Control entry points of the library for real devices (libplovik-usbmux), beyond the MobileDevice
 * ones. Looked up by name like them; a program must do without them under another library.
 */
#ifndef PLOVIK_USBMUX_PLOVIK_USBMUX_H
#define PLOVIK_USBMUX_PLOVIK_USBMUX_H

#include "device/mobiledevice.h"

#ifdef __cplusplus
extern "C" {
#endif

/* How many devices usbmuxd has attached over USB now (its ListDevices), each of which the
   library announces to a subscriber; negative when usbmuxd cannot be asked. */
MOBILEDEVICE_API int PlovikUsbmuxCountAttachedDevices(void);

#ifdef __cplusplus
}
#endif

#endif
