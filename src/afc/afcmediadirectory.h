#pragma once

#include "afc/afcdirectory.h"

/** AFC connection to the media area ("com.apple.afc"). */
class AFCMediaDirectory : public AFCDirectory {
public:
    static constexpr const char* kServiceName = "com.apple.afc";
    AFCMediaDirectory() : AFCDirectory(kServiceName) {}
};
