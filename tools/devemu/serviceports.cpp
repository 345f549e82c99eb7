#include "serviceports.h"

#include <array>
#include <utility>

namespace plovik::devemu {

namespace {

// Fixed ports, unlike a device's: nothing on the host depends on them being random.
constexpr std::array<std::pair<const char*, uint16_t>, 4> kServices{{
    {"com.apple.afc", 49201},
    {"com.apple.afc2", 49202},
    {"com.apple.mobile.installation_proxy", 49203},
    {"com.apple.mobile.house_arrest", 49204},
}};

}  // namespace

uint16_t portOfService(const std::string& name) {
    for (const auto& [service, port] : kServices) {
        if (name == service) {
            return port;
        }
    }
    return 0;
}

std::string serviceAtPort(uint16_t port) {
    for (const auto& [service, servicePort] : kServices) {
        if (port == servicePort) {
            return service;
        }
    }
    return {};
}

}  // namespace plovik::devemu
