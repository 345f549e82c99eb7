#include "afc/localfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

LocalFile LocalFile::openForReading(const CZelboString& path) {
    std::string utf8 = path.toUtf8();
    const int descriptor = ::open(utf8.c_str(), O_RDONLY | O_CLOEXEC);
    return LocalFile(descriptor, std::move(utf8));
}

LocalFile LocalFile::createBeside(const CZelboString& target) {
    const std::string folder = folderOf(target.toUtf8());
    std::random_device entropy;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[32];
        snprintf(name, sizeof name, "/.plovik-%08x.part", entropy());
        std::string path = folder + name;
        // O_EXCL: never write through a link or into a file someone else made.
        const int descriptor =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (descriptor >= 0 || errno != EEXIST)
            return LocalFile(descriptor, std::move(path), descriptor >= 0 ? 0 : errno);
    }
    return LocalFile(-1, {}, EEXIST);
}

LocalFile::LocalFile(LocalFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      path_(std::move(other.path_)),
      error_(other.error_) {}

LocalFile& LocalFile::operator=(LocalFile&& other) noexcept {
    if (this != &other) {
        close();
        descriptor_ = std::exchange(other.descriptor_, -1);
        path_ = std::move(other.path_);
        error_ = other.error_;
    }
    return *this;
}

LocalFile::~LocalFile() {
    close();
}

int64_t LocalFile::size() const {
    struct stat status {};
    if (descriptor_ < 0 || fstat(descriptor_, &status) != 0)
        return -1;
    return status.st_size;
}

int64_t LocalFile::read(void* buffer, size_t length) {
    for (;;) {
        const ssize_t count = ::read(descriptor_, buffer, length);
        if (count >= 0 || errno != EINTR)
            return count;
    }
}

bool LocalFile::writeAll(const void* bytes, size_t length) {
    const auto* next = static_cast<const char*>(bytes);
    while (length > 0) {
        const ssize_t written = ::write(descriptor_, next, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            error_ = written < 0 ? errno : ENOSPC;
            return false;
        }
        next += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

int64_t LocalFile::modificationTime() const {
    struct stat status {};
    if (descriptor_ < 0 || ::fstat(descriptor_, &status) != 0)
        return 0;
    return int64_t{status.st_mtim.tv_sec} * kNanosecondsPerSecond + status.st_mtim.tv_nsec;
}

bool LocalFile::setModificationTime(int64_t nanoseconds) {
    if (descriptor_ < 0 || nanoseconds < 0)
        return false;
    const timespec times[2] = {
        {0, UTIME_NOW},
        {static_cast<time_t>(nanoseconds / kNanosecondsPerSecond),
         static_cast<long>(nanoseconds % kNanosecondsPerSecond)},
    };
    return ::futimens(descriptor_, times) == 0;
}

bool LocalFile::close() {
    if (descriptor_ < 0)
        return true;
    const int result = ::close(std::exchange(descriptor_, -1));
    if (result != 0)
        error_ = errno;
    return result == 0;
}

CZelboString LocalFile::failureText(const char16_t* text) const {
    CZelboString described(text);
    if (error_ != 0)
        described.format(u"%s: %hs", text, std::strerror(error_));
    return described;
}

CZelboString LocalFile::placeAs(const CZelboString& target, CZelboString failure) {
    if (!close() && failure.isEmpty())
        failure = failureText(u"Can't write output file");
    if (failure.isEmpty() && std::rename(path_.c_str(), target.toUtf8().c_str()) != 0)
        failure = u"Can't replace output file";
    if (!failure.isEmpty())
        std::remove(path_.c_str());
    return failure;
}
