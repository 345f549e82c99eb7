#include "transfer/transferworker.h"

#include "device/amdevice.h"
#include "fstree/filesystemnode.h"
#include "transfer/copyconnections.h"
#include "transfer/devicefolderdownload.h"
#include "transfer/localfolderupload.h"
#include "transfer/transferhistorystore.h"
#include "transfer/transferqueue.h"
#include "transfer/transferrecorder.h"
#include "transfer/transferrunobserver.h"
#include "transfer/transfersize.h"

TransferWorker::TransferWorker(TransferQueue& queue, TransferHistoryStore* history,
                               TransferRunObserver& observer)
    : queue_(queue), history_(history), observer_(observer) {}

TransferWorker::~TransferWorker() {
    requestStop();
    join();
}

void TransferWorker::start() {
    if (running_.load())
        return;
    join();
    stopRequested_.store(false);
    running_.store(true);
    thread_ = std::thread([this] { run(); });
}

void TransferWorker::join() {
    if (thread_.joinable())
        thread_.join();
}

void TransferWorker::run() {
    while (!stopRequested_.load()) {
        if (observer_.isCancelled()) {
            // A cancel ends the run: batches queued behind it would otherwise start later.
            queue_.clear();
            break;
        }
        std::optional<TransferBatch> batch = queue_.takeFront();
        if (!batch)
            break;
        CopyConnections connections;
        {
            const std::lock_guard lock(connectionsMutex_);
            connections_ = &connections;
        }
        for (const TransferJob& job : batch->jobs) {
            if (observer_.isCancelled() || stopRequested_.load())
                break;
            dispatch(job, *batch, connections);
        }
        {
            const std::lock_guard lock(connectionsMutex_);
            connections_ = nullptr;
        }
        connections.removeStagedLeftovers();
        observer_.batchFinished(*batch);
    }
    running_.store(false);
    observer_.workerFinished();
}

void TransferWorker::interruptCopies() {
    const std::lock_guard lock(connectionsMutex_);
    if (connections_ != nullptr)
        connections_->interrupt();
}

void TransferWorker::dispatch(const TransferJob& job, const TransferBatch& batch,
                              CopyConnections& connections) {
    if (!job.node || job.itemPath.isEmpty() || job.destinationPath.isEmpty())
        return;
    const int64_t total = transferSize(job, [this] { return observer_.isCancelled(); });
    observer_.jobStarting(job, total);
    TransferRecorder recorder(observer_, history_, job);
    // The size walk has just listed the job's folders: the copy uses those listings.
    if (job.fromDevice) {
        DeviceFolderDownload download(recorder, DeviceFolderDownload::Listing::AsListed,
                                      &connections);
        download.setHeicToJpeg(batch.heicToJpeg);
        if (job.importFiles.empty())
            download.run(job.node, job.destinationPath);
        else
            download.runFiles(job.importFiles);
    } else {
        LocalFolderUpload(recorder, &connections).run(job.itemPath, job.node);
    }
    if (history_)
        history_->flush();
}
