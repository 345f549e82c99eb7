#include "app/versiontext.h"

std::string versionText(int major, int minor, int build) {
    return std::to_string(major) + "." + std::to_string(minor) + std::to_string(build);
}

std::string programVersion() {
    return std::to_string(PLOVIK_VERSION_MAJOR) + "." + std::to_string(PLOVIK_VERSION_MINOR) + "." +
           std::to_string(PLOVIK_VERSION_PATCH);
}

std::string programVersionText() {
    return versionText(PLOVIK_VERSION_MAJOR, PLOVIK_VERSION_MINOR, PLOVIK_VERSION_PATCH);
}
