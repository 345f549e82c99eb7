#include "device/amapplication.h"

AMApplication::AMApplication(plist_t properties) : properties_(plist_copy(properties)) {
    ZelboLib::stringForKey(properties, "CFBundleIdentifier", bundleIdentifier_);
    for (const char* key : {"CFBundleDisplayName", "CFBundleName", "CFBundleExecutable"}) {
        if (ZelboLib::stringForKey(properties, key, displayName_) && !displayName_.isEmpty()) {
            break;
        }
    }
}
