#pragma once

#include <QString>

/**
 * Whether this system can reach real devices: usbmuxd installed (its program present; a daemon
 * that is not running is normal, udev starts it when a device is plugged in) and the MobileDevice
 * library loadable.
 */
class DeviceSoftwareCheck {
public:
    DeviceSoftwareCheck(bool usbmuxdInstalled, bool libraryLoadable)
        : usbmuxdInstalled_(usbmuxdInstalled), libraryLoadable_(libraryLoadable) {}

    /** Looks at this system, for the library file the program will load. */
    static DeviceSoftwareCheck run(const QString& libraryFile);

    bool isComplete() const { return usbmuxdInstalled_ && libraryLoadable_; }
    /** The warning's headline and text, telling what is missing and how to install it. */
    QString headline() const;
    QString text() const;

private:
    bool usbmuxdInstalled_;
    bool libraryLoadable_;
};
