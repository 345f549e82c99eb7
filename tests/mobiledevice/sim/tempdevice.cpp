#include "tempdevice.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

void writePlist(const std::filesystem::path& path, plist_t node) {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    std::ofstream(path, std::ios::binary).write(xml, length);
    plist_to_xml_free(xml);
}

TempDevice::TempDevice(const std::string& uniqueDeviceId, const char* accessState)
    : uniqueDeviceId_(uniqueDeviceId) {
    std::string pattern = (std::filesystem::temp_directory_path() / "plovik-sim-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    base_ = pattern;
    std::filesystem::create_directories(media());
    std::filesystem::create_directories(folder() / "Apps");

    plist_t values = plist_new_dict();
    plist_dict_set_item(values, "DeviceName", plist_new_string("Test iPhone"));
    plist_dict_set_item(values, "UniqueDeviceID", plist_new_string(uniqueDeviceId.c_str()));
    plist_dict_set_item(values, "ProductType", plist_new_string("iPhone14,2"));
    plist_t battery = plist_new_dict();
    plist_dict_set_item(battery, "BatteryCurrentCapacity", plist_new_uint(76));
    plist_dict_set_item(battery, "BatteryIsCharging", plist_new_bool(1));
    plist_dict_set_item(values, "com.apple.mobile.battery", battery);
    if (accessState != nullptr) {
        plist_dict_set_item(values, "AccessState", plist_new_string(accessState));
    }
    writePlist(folder() / "device.plist", values);
    plist_free(values);
}

TempDevice::~TempDevice() {
    std::error_code ignored;
    std::filesystem::remove_all(base_, ignored);
}

void TempDevice::writeFile(const std::string& relativePath, const std::string& content) const {
    const auto path = folder() / relativePath;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string TempDevice::readFile(const std::string& relativePath) const {
    std::ifstream file(folder() / relativePath, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void TempDevice::addApp(const std::string& bundleId, const std::string& displayName,
                        const char* applicationType) const {
    const auto app = folder() / "Apps" / bundleId;
    std::filesystem::create_directories(app / "Container" / "Documents");
    std::filesystem::create_directories(app / "Container" / "Library");
    plist_t info = plist_new_dict();
    plist_dict_set_item(info, "CFBundleIdentifier", plist_new_string(bundleId.c_str()));
    plist_dict_set_item(info, "CFBundleDisplayName", plist_new_string(displayName.c_str()));
    if (applicationType != nullptr) {
        plist_dict_set_item(info, "ApplicationType", plist_new_string(applicationType));
    }
    writePlist(app / "Info.plist", info);
    plist_free(info);
}
