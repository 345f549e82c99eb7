#pragma once

#include <cstdint>

#include "values/zelbostring.h"

/** One file that a download or an upload tried to copy, as the transfer history keeps it. */
struct TransferRecord {
    static constexpr int32_t kCopied = 2;
    static constexpr int32_t kNotCopied = 3;

    /** True for a download (device to computer). */
    bool fromDevice = false;
    /** kCopied or kNotCopied; 0 for a stored row without a status. */
    int32_t status = 0;
    /**
     * The row's UTC time stamp as the database wrote it ("2024-05-01 13:45:10"); empty until the
     * record is stored.
     */
    CZelboString occurredTime;
    CZelboString localFile;
    /** A download's device file; an upload's device folder, ending in "/". */
    CZelboString deviceFile;
    CZelboString deviceName;
};
