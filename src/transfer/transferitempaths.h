#pragma once

#include <optional>
#include <vector>

#include "values/zelbostring.h"

struct TransferJob;

/**
 * The local path, AFC path and display path of an item a job's walk reports. The walks name
 * device items by their display paths and local ones by their local paths; below the job's own
 * item every side has the same names, one per folder level. So one side gives the others, also for
 * an item the walk refused before it made its target (a folder that could not be created, a name
 * that is no local file name).
 */
class TransferItemPaths {
public:
    struct Paths {
        CZelboString local;
        CZelboString device;
        CZelboString display;
    };

    explicit TransferItemPaths(const TransferJob& job);

    /**
     * The paths of the item the walk reported as `source` (a display path for a download, a local
     * path for an upload), copied to `destination`, or to where it was meant to go when
     * `destination` is empty. The device path is empty for a source outside the job's item.
     */
    Paths of(const CZelboString& source, const CZelboString& destination) const;

private:
    bool fromDevice_;
    /** The job's item itself. */
    Paths item_;
};
