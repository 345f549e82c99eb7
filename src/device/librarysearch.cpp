#include "device/librarysearch.h"

#include <cstdlib>
#include <filesystem>

CZelboString extendedLibrarySearchPath(const WindowsLibraryEnvironment& environment,
                                       const std::function<bool(const CZelboString&)>& exists) {
    const bool wow64 =
        environment.processorArchitew6432 && !environment.processorArchitew6432->isEmpty();
    const CZelboString& programFiles =
        wow64 ? environment.programFilesX86 : environment.programFiles;

    const std::u16string_view common = environment.commonFiles.view();
    const size_t lastBackslash = common.find_last_of(u'\\');
    const CZelboString commonName =
        lastBackslash == std::u16string_view::npos
            ? environment.commonFiles
            : environment.commonFiles.mid(static_cast<int>(lastBackslash) + 1);
    const CZelboString base = programFiles.concat(u"\\").concat(commonName);

    CZelboString deviceSupportBin = base.concat(u"\\Apple\\Mobile Device Support\\bin");
    const CZelboString deviceSupport = base.concat(u"\\Apple\\Mobile Device Support");
    if (!exists(deviceSupportBin.concat(u"\\iTunesMobileDevice.dll"))) {
        deviceSupportBin = programFiles.concat(u"\\Apple\\Mobile Device Support\\bin");
    }
    CZelboString applicationSupport = base.concat(u"\\Apple\\Apple Application Support");
    if (!exists(applicationSupport.concat(u"\\CoreFoundation.dll"))) {
        applicationSupport = programFiles.concat(u"\\Apple\\Apple Application Support");
    }
    return environment.path.concat(u";")
        .concat(deviceSupportBin)
        .concat(u";")
        .concat(deviceSupport)
        .concat(u";")
        .concat(applicationSupport);
}

std::string mobileDeviceLibraryLocation(const std::string& programFolder,
                                        const std::string& fileName) {
    const std::filesystem::path beside = std::filesystem::path(programFolder) / fileName;
    std::error_code error;
    return std::filesystem::is_regular_file(beside, error) ? beside.string() : fileName;
}

std::string mobileDeviceLibraryFile(DeviceKind kind) {
    if (const char* named = std::getenv("PLOVIK_MOBILEDEVICE_LIBRARY"); named && *named) {
        return named;
    }
    const std::string fileName =
        kind == DeviceKind::Simulated ? "libplovik-sim.so" : "libplovik-usbmux.so";
    std::error_code error;
    const std::filesystem::path programFolder =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    if (error)
        return fileName;
    const std::filesystem::path inLibFolder =
        (programFolder / ".." / "lib" / fileName).lexically_normal();
    if (std::filesystem::is_regular_file(inLibFolder, error))
        return inLibFolder.string();
    return mobileDeviceLibraryLocation(programFolder.string(), fileName);
}

std::string demoDeviceFolder() {
    if (const char* folder = std::getenv("PLOVIK_DEMO_DEVICE"); folder && *folder)
        return folder;
    return PLOVIK_DEMO_DEVICE_DEFAULT;
}
