#include "publicvalues.h"

#include <algorithm>
#include <array>

namespace plovik::sim {

namespace {

constexpr std::array<std::string_view, 17> kPublicValues = {
    "BasebandVersion", "BoardId",
    "BuildVersion",    "CPUArchitecture",
    "ChipID",          "DeviceClass",
    "DeviceColor",     "DeviceName",
    "HardwareModel",   "ProductName",
    "ProductType",     "ProductVersion",
    "ProtocolVersion", "SupportedDeviceFamilies",
    "UniqueChipID",    "UniqueDeviceID",
    "WiFiAddress",
};

}  // namespace

bool isPublicValue(std::string_view key) {
    return std::ranges::find(kPublicValues, key) != kPublicValues.end();
}

PlistPtr publicValuesOf(plist_t values) {
    PlistPtr shown(plist_new_dict());
    for (const std::string_view key : kPublicValues) {
        const std::string name(key);
        if (const plist_t value = plist_dict_get_item(values, name.c_str())) {
            plist_dict_set_item(shown.get(), name.c_str(), plist_copy(value));
        }
    }
    return shown;
}

}  // namespace plovik::sim
