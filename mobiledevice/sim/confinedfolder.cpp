#include "confinedfolder.h"

#include "afcerror.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <vector>

namespace plovik::sim {

namespace {

// More links than this in one path is a loop, as for the kernel.
constexpr int kMaxLinksFollowed = 40;

std::deque<std::string> splitPath(std::string_view path) {
    std::deque<std::string> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view component = path.substr(start, end - start);
        if (!component.empty() && component != ".") {
            components.emplace_back(component);
        }
        start = end + 1;
    }
    return components;
}

std::string joinPath(const std::vector<std::string>& names) {
    std::string path;
    for (const std::string& name : names) {
        path += '/';
        path += name;
    }
    return path.empty() ? "/" : path;
}

bool readLink(int folder, const std::string& name, std::string& target) {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlinkat(folder, name.c_str(), buffer, sizeof buffer);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        return false;
    }
    target.assign(buffer, static_cast<std::size_t>(length));
    return true;
}

bool validPath(const char* path) {
    return path != nullptr && std::strlen(path) < PATH_MAX;
}

}  // namespace

ConfinedFolder::ConfinedFolder(UniqueFd root, std::string onlyEntry)
    : root_(std::move(root)), onlyEntry_(std::move(onlyEntry)) {}

int ConfinedFolder::resolve(const char* path, FinalLink finalLink, ResolvedEntry& entry) const {
    if (!validPath(path)) {
        return kAfcInvalidArgument;
    }
    std::deque<std::string> components = splitPath(path);
    if (resolvedAtOnce(components, finalLink, entry)) {
        return kAfcSuccess;
    }
    struct Level {
        UniqueFd folder;
        std::string name;
    };
    std::vector<Level> chain;
    chain.push_back({root_.duplicate(), {}});
    if (!chain.back().folder.valid()) {
        return kAfcNoMemory;
    }
    int linksFollowed = 0;
    while (!components.empty()) {
        std::string name = std::move(components.front());
        components.pop_front();
        if (name == "..") {
            if (chain.size() == 1) {
                return kAfcPermissionDenied;
            }
            chain.pop_back();
            continue;
        }
        if (chain.size() == 1 && hidesTopLevelName(name)) {
            return kAfcPermissionDenied;
        }
        const int folder = chain.back().folder.get();
        const bool last = components.empty();
        struct stat status {};
        if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT || !last) {
                return afcErrorFromErrno(errno);
            }
            status.st_mode = 0;
        } else if (S_ISLNK(status.st_mode) && (!last || finalLink == FinalLink::Follow)) {
            std::string target;
            if (++linksFollowed > kMaxLinksFollowed || !readLink(folder, name, target)) {
                return kAfcPermissionDenied;
            }
            if (target.empty() || target.front() == '/') {
                return kAfcPermissionDenied;
            }
            std::deque<std::string> expansion = splitPath(target);
            components.insert(components.begin(), expansion.begin(), expansion.end());
            continue;
        }
        if (last) {
            std::vector<std::string> names;
            for (std::size_t i = 1; i < chain.size(); ++i) {
                names.push_back(chain[i].name);
            }
            names.push_back(name);
            entry.devicePath = joinPath(names);
            entry.exists = status.st_mode != 0;
            entry.atTop = chain.size() == 1;
            entry.name = std::move(name);
            entry.parent = std::move(chain.back().folder);
            return kAfcSuccess;
        }
        if (!S_ISDIR(status.st_mode)) {
            return kAfcObjectNotFound;
        }
        UniqueFd next(
            ::openat(folder, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid()) {
            return afcErrorFromErrno(errno);
        }
        chain.push_back({std::move(next), std::move(name)});
    }
    // The path ended on a folder already walked into (the root, or through ".." or a link).
    std::vector<std::string> names;
    for (std::size_t i = 1; i < chain.size(); ++i) {
        names.push_back(chain[i].name);
    }
    entry.devicePath = joinPath(names);
    entry.exists = true;
    if (chain.size() == 1) {
        entry.parent = std::move(chain.front().folder);
        entry.name.clear();
        entry.atTop = false;
    } else {
        entry.name = std::move(chain.back().name);
        entry.parent = std::move(chain[chain.size() - 2].folder);
        entry.atTop = chain.size() == 2;
    }
    return kAfcSuccess;
}

bool ConfinedFolder::resolvedAtOnce(const std::deque<std::string>& components, FinalLink finalLink,
                                    ResolvedEntry& entry) const {
    if (components.size() < 2 || !onlyEntry_.empty()) {
        return false;
    }
    std::string folders;
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        if (components[i] == "..") {
            return false;
        }
        folders += (i == 0 ? "" : "/") + components[i];
    }
    const std::string& name = components.back();
    if (name == "..") {
        return false;
    }
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    UniqueFd parent(
        static_cast<int>(::syscall(SYS_openat2, root_.get(), folders.c_str(), &how, sizeof how)));
    if (!parent.valid()) {
        return false;
    }
    struct stat status {};
    if (::fstatat(parent.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) {
            return false;
        }
        status.st_mode = 0;
    } else if (S_ISLNK(status.st_mode) && finalLink == FinalLink::Follow) {
        return false;
    }
    entry.devicePath = "/" + folders + "/" + name;
    entry.exists = status.st_mode != 0;
    entry.atTop = false;
    entry.name = name;
    entry.parent = std::move(parent);
    return true;
}

int ConfinedFolder::makeDirectories(const char* path) const {
    if (!validPath(path)) {
        return kAfcInvalidArgument;
    }
    const std::deque<std::string> components = splitPath(path);
    if (components.empty()) {
        return kAfcSuccess;
    }
    // Each prefix is resolved afresh, so links and ".." inside the path are confined as
    // everywhere else.
    std::string prefix;
    for (std::size_t i = 0; i < components.size(); ++i) {
        prefix += '/';
        prefix += components[i];
        const bool last = i + 1 == components.size();
        ResolvedEntry entry;
        if (const int result = resolve(prefix.c_str(), FinalLink::Follow, entry);
            result != kAfcSuccess) {
            return result;
        }
        if (!entry.exists) {
            if (::mkdirat(entry.parent.get(), entry.name.c_str(), 0755) != 0 && errno != EEXIST) {
                return afcErrorFromErrno(errno);
            }
            continue;
        }
        struct stat status {};
        const int statResult =
            entry.name.empty()
                ? ::fstat(entry.parent.get(), &status)
                : ::fstatat(entry.parent.get(), entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW);
        if (statResult != 0) {
            return afcErrorFromErrno(errno);
        }
        if (!S_ISDIR(status.st_mode)) {
            return last ? kAfcObjectExists : kAfcObjectNotFound;
        }
    }
    return kAfcSuccess;
}

bool ConfinedFolder::hidesTopLevelName(std::string_view name) const {
    return !onlyEntry_.empty() && name != onlyEntry_;
}

bool ConfinedFolder::isViewAnchor(const ResolvedEntry& entry) const {
    return !onlyEntry_.empty() && entry.atTop && entry.name == onlyEntry_;
}

std::string ConfinedFolder::linkTargetDevicePath(const std::string& linkPath,
                                                 const std::string& target) {
    if (target.empty() || target.front() == '/') {
        return target;
    }
    std::deque<std::string> linkComponents = splitPath(linkPath);
    std::vector<std::string> names(linkComponents.begin(), linkComponents.end());
    if (!names.empty()) {
        names.pop_back();
    }
    for (std::string& component : splitPath(target)) {
        if (component != "..") {
            names.push_back(std::move(component));
        } else if (names.empty()) {
            return target;
        } else {
            names.pop_back();
        }
    }
    return joinPath(names);
}

}  // namespace plovik::sim
