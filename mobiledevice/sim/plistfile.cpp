#include "plistfile.h"

#include "uniquefd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace plovik::sim {

namespace {

// A device.plist or Info.plist is a few kilobytes; anything larger is not one.
constexpr off_t kMaxPlistFileSize = 16 * 1024 * 1024;

}  // namespace

PlistPtr readPlistFile(int folder, const char* name) {
    // O_NONBLOCK: a FIFO in place of the file must not hang the caller.
    UniqueFd file(::openat(folder, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > kMaxPlistFileSize) {
        return nullptr;
    }
    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return nullptr;
        }
        done += static_cast<std::size_t>(count);
    }
    return plistFromBytes(bytes.data(), bytes.size());
}

}  // namespace plovik::sim
