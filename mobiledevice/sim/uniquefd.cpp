#include "uniquefd.h"

#include <fcntl.h>
#include <unistd.h>

namespace plovik::sim {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

int UniqueFd::release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset(int fd) noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

UniqueFd UniqueFd::duplicate() const noexcept {
    return UniqueFd(fd_ >= 0 ? ::fcntl(fd_, F_DUPFD_CLOEXEC, 0) : -1);
}

}  // namespace plovik::sim
