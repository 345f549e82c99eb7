#pragma once

#include <string>

/** Which MobileDevice library a run needs. */
enum class DeviceKind { Real, Simulated };

/**
 * The MobileDevice library file to load: the one PLOVIK_MOBILEDEVICE_LIBRARY names when it is
 * set, else libplovik-usbmux.so or libplovik-sim.so beside the program, in ../lib from it (the
 * build tree's layout), or by bare name for the system's search.
 */
std::string mobileDeviceLibraryFile(DeviceKind kind);
