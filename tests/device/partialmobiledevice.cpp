// A MobileDevice library that offers only a few entry points, for the loader's tests.
#include "device/mobiledevice.h"

extern "C" {

MOBILEDEVICE_API int AMDeviceConnect(AMDeviceRef device) {
    return device ? 0 : 0x16;
}

MOBILEDEVICE_API plist_t AMDeviceCopyValue(AMDeviceRef, plist_t, plist_t key) {
    return plist_copy(key);
}
}
