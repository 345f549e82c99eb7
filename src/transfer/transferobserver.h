#pragma once

#include <cstdint>

#include "afc/afcdirectorydelegate.h"
#include "values/zelbostring.h"

/**
 * What a folder walk reports, one call per event, on the walking thread. Device items are named
 * by their display paths ("/Media/DCIM/IMG_0001.JPG"), local ones by their local paths.
 *
 * Every file gets fileStarted, then any number of fileProgress, then exactly one of fileFinished
 * or itemFailed. A folder that cannot be listed or created gets itemFailed alone, as does an item
 * refused before its copy began (an unsafe name, a special file). The walk goes on after a failure.
 */
class TransferObserver {
public:
    virtual ~TransferObserver() = default;

    /** A file's copy begins; size is -1 when it is not known. */
    virtual void fileStarted(const CZelboString& source, const CZelboString& destination,
                             int64_t size) = 0;
    /** Before each chunk of the current file. */
    virtual void fileProgress(int64_t done, int64_t total) = 0;
    /** Every byte of the file arrived and it is in place under its name. */
    virtual void fileFinished(const CZelboString& source, const CZelboString& destination) = 0;
    /** The item was not copied; reason is one line. */
    virtual void itemFailed(const CZelboString& source, const CZelboString& reason) = 0;
    /** The item was left out on purpose (a link to a folder); not a failure. */
    virtual void itemSkipped(const CZelboString& source, const CZelboString& reason) = 0;

    /**
     * A download's device file's modification time ("st_mtime", nanoseconds since 1970 UTC), told
     * right after its fileStarted where the walk knows it.
     */
    virtual void fileDeviceTime(int64_t /*nanoseconds*/) {}
    /**
     * A photo meant to arrive as a JPEG arrives as it is on the device, for reason; comes between
     * its fileStarted and its fileFinished.
     */
    virtual void fileNotConverted(const CZelboString& /*source*/, const CZelboString& /*reason*/) {}

    /** Asked before each item and each chunk; true ends the walk, the current file failing. */
    virtual bool isCancelled() { return false; }
    /**
     * Why isCancelled ended the walk when nobody cancelled it (the device was disconnected): one
     * line; empty for a cancel.
     */
    virtual CZelboString stopReason() { return {}; }
    /** Asked when a file's target exists; false (the default) keeps the target. */
    virtual bool shouldOverwrite(const CZelboString& /*path*/, CopyTarget /*target*/) {
        return false;
    }
};
