#include "fusemount.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "childprocess.h"

namespace fs = std::filesystem;

namespace {

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && access((fs::path(folder) / program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

/** A mount point sits on another device than its parent folder. */
bool isMountPoint(const fs::path& folder) {
    struct stat self {};
    struct stat parent {};
    return stat(folder.c_str(), &self) == 0 && stat(folder.parent_path().c_str(), &parent) == 0 &&
           self.st_dev != parent.st_dev;
}

std::string lastLineOf(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::string last;
    while (std::getline(in, line)) {
        if (!line.empty())
            last = line;
    }
    return last;
}

}  // namespace

std::string FuseMount::unavailableReason() {
    if (!onPath("ifuse"))
        return "ifuse is not installed (Debian package ifuse)";
    if (!onPath("fusermount") && !onPath("fusermount3"))
        return "fusermount is not installed (Debian package fuse3)";
    if (access("/dev/fuse", R_OK | W_OK) != 0)
        return "/dev/fuse cannot be opened here";
    return {};
}

FuseMount::FuseMount(const fs::path& mountPoint, const std::string& socketAddress,
                     const fs::path& errorFile)
    : mountPoint_(mountPoint), errorFile_(errorFile) {
    if (std::string reason = unavailableReason(); !reason.empty()) {
        failure_ = std::move(reason);
        return;
    }
    fs::create_directories(mountPoint_);
    ChildProcess::Options options;
    options.environment = {"USBMUXD_SOCKET_ADDRESS=" + socketAddress};
    options.errorFile = errorFile_;
    // ifuse returns once the file system is mounted and goes on serving it in the background.
    const int exitCode = ChildProcess::run({"ifuse", mountPoint_}, options);
    if (exitCode != 0 || !isMountPoint(mountPoint_)) {
        const std::string said = lastLineOf(errorFile_);
        failure_ = "ifuse could not mount the device (exit " + std::to_string(exitCode) + ")" +
                   (said.empty() ? "" : ": " + said);
    }
}

FuseMount::~FuseMount() {
    if (!mounted() && !isMountPoint(mountPoint_))
        return;
    const std::string fusermount = onPath("fusermount") ? "fusermount" : "fusermount3";
    ChildProcess::Options options;
    options.errorFile = errorFile_;
    options.onInterruption = ChildProcess::OnInterruption::KeepWaiting;
    try {
        // A mount still busy is detached lazily, so that the run's folders can go.
        if (ChildProcess::run({fusermount, "-u", mountPoint_}, options) != 0)
            ChildProcess::run({fusermount, "-u", "-z", mountPoint_}, options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cannot unmount %s: %s\n", mountPoint_.c_str(), error.what());
    }
}
