#pragma once

#include <cstdint>

#include "values/zelbostring.h"

/** Which side a copy writes to, for the overwrite question. */
enum class CopyTarget { Computer = 0, Device = 1 };

/**
 * Callbacks of a single-file copy, on the thread that copies. Sizes are 64-bit: videos pass 4 GiB.
 */
class AFCDirectoryDelegate {
public:
    virtual ~AFCDirectoryDelegate() = default;

    /** Once per file, before the first chunk. */
    virtual void willCopyFile(const CZelboString& source, const CZelboString& destination,
                              int64_t size) = 0;
    /** Before each chunk. */
    virtual void copyProgress(int64_t done, int64_t total) = 0;
    /** Once per file, after the data loop, whatever its outcome. */
    virtual void didCopyFile(const CZelboString& destination) = 0;
    /** Asked before each chunk; true stops the copy, which then fails. */
    virtual bool isCancelled() { return false; }
    /** Asked when the copy's target exists; false (the default) keeps it. */
    virtual bool shouldOverwrite(const CZelboString& /*path*/, CopyTarget /*target*/) {
        return false;
    }
};
