#ifndef PLOVIK_SIM_OPENFILE_H
#define PLOVIK_SIM_OPENFILE_H

#include "uniquefd.h"

#include <cstdint>
#include <mutex>

namespace plovik::sim {

// One file opened through AFC. Calls on it are serialised, so a read and a tell from two threads
// see a consistent position. Results are AFC codes.
class OpenFile {
public:
    explicit OpenFile(UniqueFd fd) : fd_(std::move(fd)) {}

    // Fills the buffer unless the end of the file comes first: callers take a short read for the
    // end of the file.
    int read(void* buffer, uint32_t& length);
    int write(const void* buffer, uint32_t length);
    int seek(int64_t offset, uint64_t origin);
    int tell(uint64_t& position);

private:
    std::mutex mutex_;
    UniqueFd fd_;
};

}  // namespace plovik::sim

#endif
