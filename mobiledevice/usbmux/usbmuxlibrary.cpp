#include "usbmuxlibrary.h"

namespace plovik::usbmux {

UsbmuxLibrary& UsbmuxLibrary::instance() {
    static UsbmuxLibrary* const library = new UsbmuxLibrary;
    return *library;
}

}  // namespace plovik::usbmux
