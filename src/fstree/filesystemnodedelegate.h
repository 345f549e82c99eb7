#pragma once

#include <cstdint>

namespace ZelboLib {

/** Follows and may stop a whole-file read of a node, on the thread that reads. */
class FileSystemNodeDelegate {
public:
    virtual ~FileSystemNodeDelegate() = default;

    /** After each chunk, when the file's size is known and not 0. */
    virtual void readProgress(int64_t total, int64_t done) = 0;
    /** Asked before each chunk; false ends the read, which then gives nothing. */
    virtual bool shouldContinueReading() { return true; }
};

}  // namespace ZelboLib
