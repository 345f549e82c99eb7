#ifndef PLOVIK_SIM_UNIQUEFD_H
#define PLOVIK_SIM_UNIQUEFD_H

namespace plovik::sim {

// Sole owner of a file descriptor; closes it when destroyed or reset.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { reset(); }

    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    int release() noexcept;
    void reset(int fd = -1) noexcept;
    // A second descriptor of the same open file (close-on-exec); invalid when dup fails.
    UniqueFd duplicate() const noexcept;

private:
    int fd_ = -1;
};

}  // namespace plovik::sim

#endif
