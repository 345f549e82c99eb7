#pragma once

#include <cstdint>

#include "values/zelbostring.h"

/** One file that a download or an upload tried to copy, as the transfer history keeps it. */
struct TransferRecord {
    static constexpr int32_t kCopied = 2;
    static constexpr int32_t kNotCopied = 3;

    /** Why a kNotCopied file was not copied; the values are stored. */
    enum class NotCopiedCause : int32_t {
        /** Rows of older versions, which did not tell. */
        Unknown = 0,
        Failed = 1,
        /** The existing target was kept. */
        Skipped = 2,
        /** The run was stopped before the file arrived. */
        Cancelled = 3,
    };

    /** True for a download (device to computer). */
    bool fromDevice = false;
    /** kCopied or kNotCopied; 0 for a stored row without a status. */
    int32_t status = 0;
    /** Unknown unless status is kNotCopied. */
    NotCopiedCause notCopiedCause = NotCopiedCause::Unknown;
    /**
     * The row's UTC time stamp as the database wrote it ("2024-05-01 13:45:10"); empty until the
     * record is stored.
     */
    CZelboString occurredTime;
    CZelboString localFile;
    /** The AFC path of a download's device file; of an upload's device folder, ending in "/". */
    CZelboString deviceFile;
    /**
     * The file's device path as the device tree names it ("/Media/DCIM/IMG_0001.JPG"). Empty in
     * rows of older versions, whose deviceFile holds that path (of the folder for an upload).
     */
    CZelboString deviceDisplayPath;
    CZelboString deviceName;
    /** The device's unique identifier (UDID); empty in rows of older versions. */
    CZelboString deviceIdentifier;
    /**
     * A download's device file's modification time ("st_mtime", nanoseconds since 1970 UTC); 0
     * when not known.
     */
    int64_t deviceModificationTime = 0;
    /** The file's size in bytes; -1 when not known. */
    int64_t size = -1;
    /** Why a file that failed did not arrive, as the run said it; empty when not known. */
    CZelboString reason;
};
