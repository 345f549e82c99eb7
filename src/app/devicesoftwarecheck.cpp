#include "app/devicesoftwarecheck.h"

#include <dlfcn.h>

#include <QStandardPaths>
#include <QStringList>

DeviceSoftwareCheck DeviceSoftwareCheck::run(const QString& libraryFile) {
    const QStringList sbin = {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                              QStringLiteral("/usr/local/sbin")};
    const bool usbmuxd = !QStandardPaths::findExecutable(QStringLiteral("usbmuxd")).isEmpty() ||
                         !QStandardPaths::findExecutable(QStringLiteral("usbmuxd"), sbin).isEmpty();
    // Loaded for good: the program loads this same library for its devices right after.
    const bool loadable =
        dlopen(libraryFile.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL) != nullptr;
    return DeviceSoftwareCheck(usbmuxd, loadable);
}

QString DeviceSoftwareCheck::headline() const {
    return QStringLiteral("iPhone support is not installed!");
}

QString DeviceSoftwareCheck::text() const {
    QStringList missing;
    if (!usbmuxdInstalled_)
        missing << QStringLiteral("the USB multiplexing daemon (usbmuxd)");
    if (!libraryLoadable_)
        missing << QStringLiteral("the libimobiledevice library");
    return QStringLiteral(
               "Plovik reaches iPhones and iPads through %1. Install it with "
               "<b>sudo apt install usbmuxd libimobiledevice6</b>, then plug your device in again.")
        .arg(missing.join(QStringLiteral(" and ")));
}
