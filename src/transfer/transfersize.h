#pragma once

#include <cstdint>
#include <functional>

#include "transfer/transferjob.h"

/**
 * The bytes a job will copy: the sizes of its files, walked as the copy walks them (links to
 * folders not followed). Device folders are listed afresh, so a download right after may use
 * these listings. Stop is asked before each folder; a stopped or failed walk gives what it found.
 */
int64_t transferSize(const TransferJob& job, const std::function<bool()>& stop);
