// The entry points of plovik_usbmux.h.

#include "plovik_usbmux.h"

#include <usbmuxd.h>

extern "C" {

int PlovikUsbmuxCountAttachedDevices(void) {
    usbmuxd_device_info_t* devices = nullptr;
    const int listed = usbmuxd_get_device_list(&devices);
    if (listed < 0) {
        return listed;
    }
    int overUsb = 0;
    for (int index = 0; index < listed; ++index) {
        // The watcher leaves devices reached over the network out, as here.
        if (devices[index].conn_type == CONNECTION_TYPE_USB) {
            ++overUsb;
        }
    }
    usbmuxd_device_list_free(&devices);
    return overUsb;
}

}  // extern "C"
