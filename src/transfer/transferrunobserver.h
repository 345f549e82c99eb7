#pragma once

#include <cstdint>

#include "transfer/transferjob.h"
#include "transfer/transferobserver.h"

/**
 * What the transfer worker reports of a whole run, on the worker's thread: every file event of
 * TransferObserver, plus the start of each job with the bytes it will copy, the end of each
 * batch and the end of the worker.
 */
class TransferRunObserver : public TransferObserver {
public:
    /** A job begins; totalBytes is the sum of its files' sizes (-1 when unknown). */
    virtual void jobStarting(const TransferJob& job, int64_t totalBytes) = 0;
    virtual void batchFinished(const TransferBatch& batch) = 0;
    /** The last call of a worker: it has ended and holds nothing any more. */
    virtual void workerFinished() = 0;
};
