#pragma once

#include "afc/afcdirectory.h"

/**
 * AFC connection to one app's container, vended by house arrest. The container is asked for with
 * "VendContainer"; apps whose container the device refuses (most App Store apps on current iOS)
 * are asked again with "VendDocuments", which gives their shared documents.
 */
class AFCApplicationDirectory : public AFCDirectory {
public:
    static constexpr const char* kServiceName = "com.apple.mobile.house_arrest";
    AFCApplicationDirectory() : AFCDirectory(kServiceName) {}

    /** Vends the app's container on a new house arrest connection and opens AFC over it. */
    bool openContainer(const char* bundleIdentifier, AMDevice& device);

private:
    enum class Vend { Agreed, Refused, Failed };

    /** Starts house arrest and sends one vend command; a refusal leaves the device's text. */
    Vend vend(const char* command, const char* bundleIdentifier, AMDevice& device,
              CZelboString& refusal);
};
