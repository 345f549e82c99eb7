#include "values/userfolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

std::optional<std::filesystem::path> homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return std::filesystem::path(home);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return std::filesystem::path(found->pw_dir);
    return std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> userDataFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/')
        return std::filesystem::path(dataHome) / "Orvane" / "Plovik";
    if (const auto home = homeFolder())
        return *home / ".local/share/Orvane/Plovik";
    return std::nullopt;
}

std::optional<std::filesystem::path> userCacheFolder() {
    // A relative XDG_CACHE_HOME is invalid by the XDG rules and would depend on the current folder.
    const char* cacheHome = std::getenv("XDG_CACHE_HOME");
    std::filesystem::path base;
    if (cacheHome != nullptr && cacheHome[0] == '/') {
        base = cacheHome;
    } else if (const auto home = homeFolder()) {
        base = *home / ".cache";
    } else {
        return std::nullopt;
    }
    return base / "Orvane" / "Plovik";
}

bool createPrivateFolder(const std::filesystem::path& folder) {
    std::filesystem::path prefix;
    for (const auto& part : folder) {
        prefix /= part;
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat status {};
    return ::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == ::geteuid();
}
