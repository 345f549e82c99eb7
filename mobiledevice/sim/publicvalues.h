// The lockdown values a device tells a host without a session, paired or not (its name, type,
// iOS version, identifier...), as ideviceinfo --simple shows them; every other value, and every
// domain, needs a session.
#ifndef PLOVIK_SIM_PUBLICVALUES_H
#define PLOVIK_SIM_PUBLICVALUES_H

#include "plistnodes.h"

#include <string_view>

namespace plovik::sim {

bool isPublicValue(std::string_view key);

// A dictionary of the public ones among the top-level entries of values.
PlistPtr publicValuesOf(plist_t values);

}  // namespace plovik::sim

#endif
