#include "transfer/transferqueue.h"

void TransferQueue::enqueue(TransferBatch batch) {
    const std::lock_guard lock(mutex_);
    batches_.push_back(std::move(batch));
}

std::optional<TransferBatch> TransferQueue::takeFront() {
    const std::lock_guard lock(mutex_);
    if (batches_.empty())
        return std::nullopt;
    TransferBatch batch = std::move(batches_.front());
    batches_.pop_front();
    return batch;
}

void TransferQueue::clear() {
    const std::lock_guard lock(mutex_);
    batches_.clear();
}

bool TransferQueue::isEmpty() const {
    const std::lock_guard lock(mutex_);
    return batches_.empty();
}
