#include "device/librarysearch.h"

#include <cstdlib>
#include <filesystem>

namespace {

// The running program's folder, from which the rest of its tree is found wherever it lies.
std::string runningProgramFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.parent_path().string();
}

}  // namespace

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
    const std::filesystem::path program(programFolder);
    for (const std::filesystem::path& folder : {program / PLOVIK_INSTALLED_LIBRARY_FOLDER,
                                                program / PLOVIK_BUILT_LIBRARY_FOLDER, program}) {
        const std::filesystem::path candidate = (folder / fileName).lexically_normal();
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate.string();
    }
    return fileName;
}

std::string mobileDeviceLibraryFile(DeviceKind kind) {
    if (const char* named = std::getenv("PLOVIK_MOBILEDEVICE_LIBRARY"); named && *named) {
        return named;
    }
    const std::string fileName =
        kind == DeviceKind::Simulated ? "libplovik-sim.so" : "libplovik-usbmux.so";
    return mobileDeviceLibraryLocation(runningProgramFolder(), fileName);
}

std::string demoDeviceLocation(const std::string& programFolder) {
    const std::filesystem::path program(programFolder);
    const std::filesystem::path installed =
        (program / PLOVIK_INSTALLED_DEMO_DEVICE_FOLDER).lexically_normal();
    std::error_code error;
    if (std::filesystem::is_directory(installed, error))
        return installed.string();
    return (program / PLOVIK_BUILT_DEMO_DEVICE_FOLDER).lexically_normal().string();
}

std::string demoDeviceFolder() {
    if (const char* folder = std::getenv("PLOVIK_DEMO_DEVICE"); folder && *folder)
        return folder;
    return demoDeviceLocation(runningProgramFolder());
}
