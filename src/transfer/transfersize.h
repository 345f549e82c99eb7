#pragma once

#include <cstdint>
#include <functional>

#include "transfer/transferjob.h"

/**
 * The bytes a job will copy: the sizes of its files, walked as the copy walks them (links to
 * folders not followed). Listing a device folder asks the device; stop is asked before each
 * folder, and a stopped or failed walk gives what it found so far.
 */
int64_t transferSize(const TransferJob& job, const std::function<bool()>& stop);
