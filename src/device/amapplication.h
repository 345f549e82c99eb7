#pragma once

#include "values/object.h"
#include "values/plistconversion.h"

/** One installed app as the installation proxy reports it. */
class AMApplication : public ZelboLib::Object {
public:
    /** Keeps a copy of the app's dictionary. */
    explicit AMApplication(plist_t properties);

    /** The first non-empty of CFBundleDisplayName, CFBundleName, CFBundleExecutable, or "". */
    CZelboString displayName() const { return displayName_; }
    CZelboString bundleIdentifier() const { return bundleIdentifier_; }
    plist_t properties() const { return properties_.get(); }

private:
    PlistPtr properties_;
    CZelboString displayName_;
    CZelboString bundleIdentifier_;
};
