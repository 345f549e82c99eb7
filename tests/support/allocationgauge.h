#pragma once

#include <cstddef>
#include <cstdint>

/**
 * Watches the process's operator new (allocationgauge.cpp replaces it; link that file into a
 * test program only once): what C++ code allocates, on every thread.
 */

/** Whether this program's operator new is the gauge's (a memory checker may replace it). */
bool allocationsGauged();

/** Bytes asked of operator new since the program started. */
uint64_t allocatedBytes();

/** From now on operator new throws std::bad_alloc for any one request above bytes; 0 lifts it. */
void refuseAllocationsAbove(size_t bytes);
