#pragma once

#include <deque>
#include <mutex>
#include <optional>

#include "transfer/transferjob.h"

/**
 * The batches waiting for the transfer worker, in command order. The user-interface thread
 * appends, the worker takes from the front; both under one lock.
 */
class TransferQueue {
public:
    void enqueue(TransferBatch batch);
    /** The first batch, removed from the queue; nothing when the queue is empty. */
    std::optional<TransferBatch> takeFront();
    /** Drops every waiting batch. */
    void clear();
    bool isEmpty() const;

private:
    mutable std::mutex mutex_;
    std::deque<TransferBatch> batches_;
};
