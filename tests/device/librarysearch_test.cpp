#include "device/librarysearch.h"

#include <gtest/gtest.h>

#include <set>

#include "support/temporaryfolder.h"

namespace {

WindowsLibraryEnvironment windows() {
    WindowsLibraryEnvironment environment;
    environment.path = u"C:\\Windows";
    environment.programFiles = u"C:\\Program Files";
    environment.programFilesX86 = u"C:\\Program Files (x86)";
    environment.commonFiles = u"C:\\Program Files\\Common Files";
    return environment;
}

TEST(ExtendedLibrarySearchPath, AppendsTheCommonFilesFoldersThatHoldTheLibraries) {
    const std::set<std::u16string> files = {
        u"C:\\Program Files\\Common Files\\Apple\\Mobile Device Support\\bin\\"
        u"iTunesMobileDevice.dll",
        u"C:\\Program Files\\Common Files\\Apple\\Apple Application Support\\CoreFoundation.dll"};
    const auto exists = [&](const CZelboString& path) {
        return files.contains(std::u16string(path.view()));
    };
    EXPECT_EQ(extendedLibrarySearchPath(windows(), exists).view(),
              u"C:\\Windows;C:\\Program Files\\Common Files\\Apple\\Mobile Device Support\\bin;"
              u"C:\\Program Files\\Common Files\\Apple\\Mobile Device Support;"
              u"C:\\Program Files\\Common Files\\Apple\\Apple Application Support");
}

TEST(ExtendedLibrarySearchPath, FallsBackToProgramFilesAndHonoursWow64) {
    const auto nothing = [](const CZelboString&) { return false; };
    WindowsLibraryEnvironment environment = windows();
    environment.processorArchitew6432 = CZelboString(u"AMD64");
    EXPECT_EQ(extendedLibrarySearchPath(environment, nothing).view(),
              u"C:\\Windows;C:\\Program Files (x86)\\Apple\\Mobile Device Support\\bin;"
              u"C:\\Program Files (x86)\\Common Files\\Apple\\Mobile Device Support;"
              u"C:\\Program Files (x86)\\Apple\\Apple Application Support");

    environment.processorArchitew6432 = CZelboString(u"");  // set but empty: not WOW64
    environment.commonFiles = u"";                          // unknown common folder
    EXPECT_EQ(extendedLibrarySearchPath(environment, nothing).view(),
              u"C:\\Windows;C:\\Program Files\\Apple\\Mobile Device Support\\bin;"
              u"C:\\Program Files\\\\Apple\\Mobile Device Support;"
              u"C:\\Program Files\\Apple\\Apple Application Support");
}

TEST(MobileDeviceLibraryLocation, PrefersTheCopyBesideTheProgram) {
    TemporaryFolder folder;
    EXPECT_EQ(mobileDeviceLibraryLocation(folder.path().string(), "libplovik-usbmux.so"),
              "libplovik-usbmux.so");
    folder.write("libplovik-usbmux.so", "");
    EXPECT_EQ(mobileDeviceLibraryLocation(folder.path().string(), "libplovik-usbmux.so"),
              (folder / "libplovik-usbmux.so").string());
}

// A tree laid out as `cmake --install` lays it out, under any prefix.
TEST(MobileDeviceLibraryLocation, FindsTheInstalledTreesPrivateLibraryFolderFromItsProgram) {
    TemporaryFolder prefix;
    const std::string program = (prefix / "bin").string();
    prefix.write("bin/plovik", "");
    prefix.write("lib/libplovik-sim.so", "");
    EXPECT_EQ(mobileDeviceLibraryLocation(program, "libplovik-sim.so"),
              (prefix / "lib/libplovik-sim.so").string());
    prefix.write("lib/plovik/libplovik-sim.so", "");
    EXPECT_EQ(mobileDeviceLibraryLocation(program, "libplovik-sim.so"),
              (prefix / "lib/plovik/libplovik-sim.so").string());
}

TEST(DemoDeviceLocation, FindsTheInstalledDemoDeviceElseTheBuildTreesOne) {
    TemporaryFolder prefix;
    const std::string program = (prefix / "bin").string();
    prefix.write("demo/device/device.plist", "");
    EXPECT_EQ(demoDeviceLocation(program), (prefix / "demo/device").string());
    prefix.write("share/plovik/demo-device/device.plist", "");
    EXPECT_EQ(demoDeviceLocation(program), (prefix / "share/plovik/demo-device").string());
}

}  // namespace
