#include "libraryfile.h"

#include <cstdlib>
#include <filesystem>

#include "device/librarysearch.h"

namespace fs = std::filesystem;

std::string mobileDeviceLibraryFile(DeviceKind kind) {
    if (const char* named = std::getenv("PLOVIK_MOBILEDEVICE_LIBRARY"); named && *named)
        return named;
    const std::string fileName =
        kind == DeviceKind::Simulated ? "libplovik-sim.so" : "libplovik-usbmux.so";
    std::error_code error;
    const fs::path programFolder = fs::read_symlink("/proc/self/exe", error).parent_path();
    if (error)
        return fileName;
    const fs::path inLibFolder = (programFolder / ".." / "lib" / fileName).lexically_normal();
    if (fs::is_regular_file(inLibFolder, error))
        return inLibFolder.string();
    return mobileDeviceLibraryLocation(programFolder.string(), fileName);
}
