#pragma once

#include <atomic>
#include <mutex>
#include <thread>

class CopyConnections;
class TransferHistoryStore;
class TransferQueue;
class TransferRunObserver;
struct TransferBatch;
struct TransferJob;

/**
 * The one thread that carries out queued transfer batches, job by job, until the queue is empty,
 * the observer cancels (which drops the batches still waiting) or stop is asked. Every file it
 * tries is written to the history. Each batch copies on connections of its own (CopyConnections),
 * which interruptCopies ends at once. Its last report is the observer's workerFinished; the owner
 * then calls join.
 */
class TransferWorker {
public:
    TransferWorker(TransferQueue& queue, TransferHistoryStore* history,
                   TransferRunObserver& observer);
    ~TransferWorker();
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    /** Starts the thread unless one runs; a finished thread is joined first. */
    void start();
    bool isRunning() const { return running_.load(); }
    /** Asks the thread to end after the current job (at shutdown). */
    void requestStop() { stopRequested_.store(true); }
    /** Waits for the thread; call after workerFinished, or when the thread is known to end. */
    void join();
    /**
     * Ends the current batch's connections, also in the middle of a request (after a cancel, for
     * a device that takes or sends nothing more). Any thread.
     */
    void interruptCopies();

private:
    void run();
    void dispatch(const TransferJob& job, const TransferBatch& batch, CopyConnections& connections);

    TransferQueue& queue_;
    TransferHistoryStore* history_;
    TransferRunObserver& observer_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::mutex connectionsMutex_;
    CopyConnections* connections_ = nullptr;  // the current batch's
};
