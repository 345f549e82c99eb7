#ifndef PLOVIK_SIM_PLISTFILE_H
#define PLOVIK_SIM_PLISTFILE_H

#include "plistnodes.h"

namespace plovik::sim {

// Reads the property list (XML or binary) in the regular file name of folder; null when it is
// missing, not a regular file, too large or not a property list.
PlistPtr readPlistFile(int folder, const char* name);

}  // namespace plovik::sim

#endif
