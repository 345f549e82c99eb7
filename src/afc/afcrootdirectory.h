#pragma once

#include "afc/afcdirectory.h"

/** AFC connection to the whole file system ("com.apple.afc2"), which not every device offers. */
class AFCRootDirectory : public AFCDirectory {
public:
    static constexpr const char* kServiceName = "com.apple.afc2";
    AFCRootDirectory() : AFCDirectory(kServiceName) {}
};
