#include "afcconnection.h"

#include "afcerror.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <cerrno>
#include <climits>

namespace plovik::sim {

namespace {

const char* fileTypeName(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "S_IFDIR";
    }
    if (S_ISLNK(mode)) {
        return "S_IFLNK";
    }
    if (S_ISCHR(mode)) {
        return "S_IFCHR";
    }
    if (S_ISBLK(mode)) {
        return "S_IFBLK";
    }
    if (S_ISFIFO(mode)) {
        return "S_IFIFO";
    }
    if (S_ISSOCK(mode)) {
        return "S_IFSOCK";
    }
    return "S_IFREG";
}

uint64_t nanoseconds(const struct statx_timestamp& time) {
    return static_cast<uint64_t>(time.tv_sec) * 1000000000u + time.tv_nsec;
}

// The open(2) flags of an AFCFileMode; -1 for anything else.
int openFlags(uint64_t mode) {
    switch (mode) {
        case kAFCFileModeRead:
            return O_RDONLY;
        case kAFCFileModeReadWrite:
            return O_RDWR | O_CREAT;
        case kAFCFileModeWriteTruncate:
            return O_WRONLY | O_CREAT | O_TRUNC;
        case kAFCFileModeReadWriteTruncate:
            return O_RDWR | O_CREAT | O_TRUNC;
        case kAFCFileModeAppend:
            return O_WRONLY | O_CREAT | O_APPEND;
        case kAFCFileModeReadAppend:
            return O_RDWR | O_CREAT | O_APPEND;
        default:
            return -1;
    }
}

// The entry as a name relative to its parent, or the parent itself when it has no name.
const char* entryName(const ResolvedEntry& entry) {
    return entry.name.empty() ? "." : entry.name.c_str();
}

}  // namespace

AfcConnection::AfcConnection(std::shared_ptr<SimDevice> device,
                             std::shared_ptr<const ConfinedFolder> folder, std::stop_token cut,
                             const SimControls& controls)
    : device_(std::move(device)), folder_(std::move(folder)), cut_(std::move(cut)),
      controls_(controls) {}

int AfcConnection::checkDevice() const {
    return device_->isGone() || cut_.stop_requested() ? kAfcDeviceGone : kAfcSuccess;
}

int AfcConnection::awaitFileOperation(int operation) const {
    if (!controls_.waitWhileFileOperationStalled(operation, cut_)) {
        return kAfcDeviceGone;
    }
    return checkDevice();
}

int AfcConnection::listDirectory(const char* path, std::vector<std::string>& names) const {
    if (const int result = checkDevice(); result != kAfcSuccess) {
        return result;
    }
    ResolvedEntry entry;
    if (const int result = folder_->resolve(path, FinalLink::Follow, entry);
        result != kAfcSuccess) {
        return result;
    }
    if (!entry.exists) {
        return kAfcObjectNotFound;
    }
    const int descriptor = ::openat(entry.parent.get(), entryName(entry),
                                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0) {
        return errno == ENOTDIR ? kAfcObjectNotFound : afcErrorFromErrno(errno);
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::fdopendir(descriptor), ::closedir);
    if (!directory) {
        ::close(descriptor);
        return kAfcNoMemory;
    }
    const bool isRoot = entry.devicePath == "/";
    std::vector<std::string> found;
    while (const dirent* item = ::readdir(directory.get())) {
        const std::string_view name = item->d_name;
        if (name == "." || name == ".." || (isRoot && folder_->hidesTopLevelName(name))) {
            continue;
        }
        found.emplace_back(name);
    }
    std::sort(found.begin(), found.end());
    names = {".", ".."};
    names.insert(names.end(), std::make_move_iterator(found.begin()),
                 std::make_move_iterator(found.end()));
    return kAfcSuccess;
}

int AfcConnection::existingEntry(const char* path, ResolvedEntry& entry) const {
    if (const int result = checkDevice(); result != kAfcSuccess) {
        return result;
    }
    if (const int result = folder_->resolve(path, FinalLink::Keep, entry); result != kAfcSuccess) {
        return result;
    }
    return entry.exists ? kAfcSuccess : kAfcObjectNotFound;
}

int AfcConnection::fileInfo(const char* path, std::vector<std::string>& pairs) const {
    ResolvedEntry entry;
    if (const int result = existingEntry(path, entry); result != kAfcSuccess) {
        return result;
    }
    struct statx status {};
    const int flags = AT_SYMLINK_NOFOLLOW | (entry.name.empty() ? AT_EMPTY_PATH : 0);
    if (::statx(entry.parent.get(), entry.name.c_str(), flags, STATX_BASIC_STATS | STATX_BTIME,
                &status) != 0) {
        return afcErrorFromErrno(errno);
    }
    const uint64_t birth = (status.stx_mask & STATX_BTIME) != 0 ? nanoseconds(status.stx_btime)
                                                                : nanoseconds(status.stx_mtime);
    pairs = {"st_size",      std::to_string(status.stx_size),
             "st_blocks",    std::to_string(status.stx_blocks),
             "st_nlink",     std::to_string(status.stx_nlink),
             "st_ifmt",      fileTypeName(status.stx_mode),
             "st_mtime",     std::to_string(nanoseconds(status.stx_mtime)),
             "st_birthtime", std::to_string(birth)};
    if (S_ISLNK(status.stx_mode)) {
        char target[PATH_MAX];
        const ssize_t length =
            ::readlinkat(entry.parent.get(), entry.name.c_str(), target, sizeof target);
        if (length >= 0 && static_cast<std::size_t>(length) < sizeof target) {
            pairs.emplace_back("LinkTarget");
            pairs.push_back(ConfinedFolder::linkTargetDevicePath(
                entry.devicePath, std::string(target, static_cast<std::size_t>(length))));
        }
    }
    return kAfcSuccess;
}

int AfcConnection::makeDirectory(const char* path) const {
    if (const int result = checkDevice(); result != kAfcSuccess) {
        return result;
    }
    return folder_->makeDirectories(path);
}

int AfcConnection::removePath(const char* path) const {
    ResolvedEntry entry;
    if (const int result = existingEntry(path, entry); result != kAfcSuccess) {
        return result;
    }
    if (entry.name.empty() || folder_->isViewAnchor(entry)) {
        return kAfcPermissionDenied;
    }
    struct stat status {};
    if (::fstatat(entry.parent.get(), entry.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        return afcErrorFromErrno(errno);
    }
    const int flags = S_ISDIR(status.st_mode) ? AT_REMOVEDIR : 0;
    if (::unlinkat(entry.parent.get(), entry.name.c_str(), flags) != 0) {
        return errno == EEXIST ? kAfcDirectoryNotEmpty : afcErrorFromErrno(errno);
    }
    return kAfcSuccess;
}

int AfcConnection::renamePath(const char* from, const char* to) const {
    ResolvedEntry source;
    ResolvedEntry target;
    if (const int result = existingEntry(from, source); result != kAfcSuccess) {
        return result;
    }
    if (const int result = folder_->resolve(to, FinalLink::Keep, target); result != kAfcSuccess) {
        return result;
    }
    if (source.name.empty() || target.name.empty() || folder_->isViewAnchor(source) ||
        folder_->isViewAnchor(target)) {
        return kAfcPermissionDenied;
    }
    if (::renameat(source.parent.get(), source.name.c_str(), target.parent.get(),
                   target.name.c_str()) != 0) {
        return errno == EEXIST ? kAfcDirectoryNotEmpty : afcErrorFromErrno(errno);
    }
    return kAfcSuccess;
}

int AfcConnection::setFileTime(const char* path, uint64_t nanoseconds) const {
    ResolvedEntry entry;
    if (const int result = existingEntry(path, entry); result != kAfcSuccess) {
        return result;
    }
    if (entry.name.empty()) {
        return kAfcPermissionDenied;
    }
    constexpr uint64_t kNanosecondsPerSecond = 1000000000;
    const timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(nanoseconds / kNanosecondsPerSecond),
         static_cast<long>(nanoseconds % kNanosecondsPerSecond)},
    };
    if (::utimensat(entry.parent.get(), entry.name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        return afcErrorFromErrno(errno);
    }
    return kAfcSuccess;
}

int AfcConnection::openFile(const char* path, uint64_t mode, AFCFileRef& file) {
    if (const int result = checkDevice(); result != kAfcSuccess) {
        return result;
    }
    const int modeFlags = openFlags(mode);
    if (modeFlags < 0) {
        return kAfcInvalidArgument;
    }
    const int flags = modeFlags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    ResolvedEntry entry;
    if (const int result = folder_->resolve(path, FinalLink::Follow, entry);
        result != kAfcSuccess) {
        return result;
    }
    if (entry.name.empty()) {
        return kAfcObjectIsDirectory;
    }
    if (!entry.exists && mode == kAFCFileModeRead) {
        return kAfcObjectNotFound;
    }
    // O_NONBLOCK keeps a FIFO from blocking the open; only regular files are served.
    UniqueFd descriptor(::openat(entry.parent.get(), entry.name.c_str(), flags, 0644));
    if (!descriptor.valid()) {
        return afcErrorFromErrno(errno);
    }
    struct stat status {};
    if (::fstat(descriptor.get(), &status) != 0) {
        return afcErrorFromErrno(errno);
    }
    if (S_ISDIR(status.st_mode)) {
        return kAfcObjectIsDirectory;
    }
    if (!S_ISREG(status.st_mode)) {
        return kAfcInvalidArgument;
    }
    ::fcntl(descriptor.get(), F_SETFL, ::fcntl(descriptor.get(), F_GETFL) & ~O_NONBLOCK);
    file = files_.insert(std::make_shared<OpenFile>(std::move(descriptor)));
    return kAfcSuccess;
}

std::shared_ptr<OpenFile> AfcConnection::findFile(AFCFileRef file, int& result) const {
    result = checkDevice();
    if (result != kAfcSuccess) {
        return nullptr;
    }
    auto found = files_.find(file);
    if (!found) {
        result = kAfcInvalidArgument;
    }
    return found;
}

int AfcConnection::closeFile(AFCFileRef file) {
    // Closing is allowed after removal: it only frees what the caller holds.
    return files_.take(file) ? kAfcSuccess : kAfcInvalidArgument;
}

}  // namespace plovik::sim
