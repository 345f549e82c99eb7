#include "openfile.h"

#include "afcerror.h"

#include <unistd.h>

#include <cerrno>

namespace plovik::sim {

int OpenFile::read(void* buffer, uint32_t& length) {
    std::lock_guard lock(mutex_);
    auto* bytes = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < length) {
        const ssize_t count = ::read(fd_.get(), bytes + done, length - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            length = 0;
            return kAfcReadError;
        }
        if (count == 0) {
            break;
        }
        done += static_cast<uint32_t>(count);
    }
    length = done;
    return kAfcSuccess;
}

int OpenFile::write(const void* buffer, uint32_t length) {
    std::lock_guard lock(mutex_);
    const auto* bytes = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < length) {
        const ssize_t count = ::write(fd_.get(), bytes + done, length - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return errno == ENOSPC || errno == EDQUOT ? kAfcNoSpaceLeft : kAfcWriteError;
        }
        done += static_cast<uint32_t>(count);
    }
    return kAfcSuccess;
}

int OpenFile::seek(int64_t offset, uint64_t origin) {
    int whence = 0;
    switch (origin) {
        case 0:
            whence = SEEK_SET;
            break;
        case 1:
            whence = SEEK_CUR;
            break;
        case 2:
            whence = SEEK_END;
            break;
        default:
            return kAfcInvalidArgument;
    }
    std::lock_guard lock(mutex_);
    return ::lseek(fd_.get(), static_cast<off_t>(offset), whence) < 0 ? kAfcInvalidArgument
                                                                      : kAfcSuccess;
}

int OpenFile::tell(uint64_t& position) {
    std::lock_guard lock(mutex_);
    const off_t current = ::lseek(fd_.get(), 0, SEEK_CUR);
    if (current < 0) {
        return afcErrorFromErrno(errno);
    }
    position = static_cast<uint64_t>(current);
    return kAfcSuccess;
}

}  // namespace plovik::sim
