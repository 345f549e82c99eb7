#pragma once

#include <functional>
#include <optional>
#include <string>

#include "values/zelbostring.h"

/** What the Windows search for the Apple device support folders reads from its environment. */
struct WindowsLibraryEnvironment {
    CZelboString path;                                  // "Path"
    std::optional<CZelboString> processorArchitew6432;  // "PROCESSOR_ARCHITEW6432", when set
    CZelboString programFilesX86;                       // "ProgramFiles(x86)"
    CZelboString programFiles;                          // "ProgramFiles"
    CZelboString commonFiles;  // the common program files folder; "" when it is unknown
};

/**
 * The "Path" with the Apple device support folders appended (never prepended), so that the
 * MobileDevice library and CoreFoundation load by bare file name on Windows. exists tells whether
 * a file is there.
 */
CZelboString extendedLibrarySearchPath(const WindowsLibraryEnvironment& environment,
                                       const std::function<bool(const CZelboString&)>& exists);

/**
 * Where to load the MobileDevice library from on Linux, found from the program's folder so that
 * a tree works from any prefix: the installed tree's private library folder (../lib/plovik), the
 * build tree's (../lib) or the program's own folder, the first that holds the file; else its bare
 * file name for the system's search.
 */
std::string mobileDeviceLibraryLocation(const std::string& programFolder,
                                        const std::string& fileName);

/** Which MobileDevice library a run needs. */
enum class DeviceKind { Real, Simulated };

/**
 * The MobileDevice library file to load: the one PLOVIK_MOBILEDEVICE_LIBRARY names when it is
 * set, else libplovik-usbmux.so or libplovik-sim.so where mobileDeviceLibraryLocation finds it
 * from the running program.
 */
std::string mobileDeviceLibraryFile(DeviceKind kind);

/**
 * The demo device's folder found from the program's folder: the installed tree's
 * (../share/plovik/demo-device) when it is there, else the one the build tree lays out.
 */
std::string demoDeviceLocation(const std::string& programFolder);

/** The demo device's folder: PLOVIK_DEMO_DEVICE when set, else demoDeviceLocation's. */
std::string demoDeviceFolder();
