#include "thumbs/cachefolderwalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Deeper than any cache lays out; a deeper tree is not ours and is not walked further.
constexpr int kMaxDepth = 32;

// Called for each entry that is not a folder, with its folder's descriptor, its name and its
// status (not followed); false stops the walk.
using EntryVisitor = std::function<bool(int folder, const char* name, const struct stat& status)>;

// Visits the entries below the open folder (which it closes), entering subfolders that are not
// links; false when the visitor stopped it.
bool walk(int folder, int depth, const EntryVisitor& visit) {
    DIR* listing = ::fdopendir(folder);
    if (listing == nullptr) {
        ::close(folder);
        return true;
    }
    // Names first: removing while reading a folder may make readdir skip or repeat entries.
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    bool going = true;
    for (const std::string& name : names) {
        struct stat status {};
        if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(status.st_mode)) {
            if (depth >= kMaxDepth)
                continue;
            const int child = ::openat(folder, name.c_str(), kFolderFlags);
            going = child < 0 || walk(child, depth + 1, visit);
        } else {
            going = visit(folder, name.c_str(), status);
        }
        if (!going)
            break;
    }
    ::closedir(listing);
    return going;
}

// The folder opened without following a link at its last component; -1 when it is missing, not
// a folder, or a link.
int openFolder(const std::filesystem::path& folder) {
    return ::open(folder.c_str(), kFolderFlags);
}

}  // namespace

std::optional<uint64_t> CacheFolderWalk::totalSize(const std::atomic<bool>& stop) const {
    uint64_t total = 0;
    const int folder = openFolder(folder_);
    if (folder < 0)
        return stop ? std::nullopt : std::optional<uint64_t>(total);
    const bool complete = walk(folder, 0, [&](int, const char*, const struct stat& status) {
        if (S_ISREG(status.st_mode))
            total += static_cast<uint64_t>(status.st_size);
        return !stop;
    });
    if (!complete || stop)
        return std::nullopt;
    return total;
}

void CacheFolderWalk::removeFiles() const {
    const int folder = openFolder(folder_);
    if (folder < 0)
        return;
    walk(folder, 0, [](int parent, const char* name, const struct stat&) {
        ::unlinkat(parent, name, 0);
        return true;
    });
}
