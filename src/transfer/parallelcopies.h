#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "values/zelbostring.h"

class AFCDirectory;
class TransferObserver;

/** One file for ParallelCopies: which way it goes, its paths, and its names in reports. */
struct FileCopy {
    bool fromDevice = true;
    /** The device path (download) or local path (upload) read from. */
    CZelboString source;
    /** The local path (download) or device path (upload) written to. */
    CZelboString destination;
    /** The names the observer hears: display or local path, as the walks report them. */
    CZelboString reportedSource;
    CZelboString reportedDestination;
    int64_t size = 0;
    /** A download's device "st_mtime", when the walk knows it. */
    std::optional<int64_t> modificationTime;
};

/**
 * Copies small files of a folder walk on AFC connections of their own, beside the walk's, so that
 * the round trips of many small files overlap. A connection takes the files waiting in batches:
 * the downloads of a batch are read in one stream of requests in flight
 * (AFCDirectory::contentsOfEach), the rest of it, and what the stream did not bring, one by one.
 *
 * A connection is opened when a file finds every open one busy, up to the given number. Only files
 * whose target does not exist yet may be handed over, so no overwrite question ever comes from a
 * connection: a target that appears meanwhile is kept and the file fails. The walk's observer hears
 * of each file on the walk's thread, once it has ended and in the order the files ended:
 * fileStarted, then fileFinished or itemFailed. A cancel seen by the walk stops the copies at their
 * next chunk.
 *
 * Everything but the connections' own threads runs on the walk's thread.
 */
class ParallelCopies {
public:
    /**
     * Files up to this size go to the connections. A larger one spends most of its time on its
     * bytes, not its round trips, and keeps its progress within the file on the walk's thread.
     */
    static constexpr int64_t kLargestFile = 1024 * 1024;
    static constexpr int kConnections = 4;
    /** What one connection takes at once, in files and bytes. */
    static constexpr size_t kBatchFiles = 64;
    static constexpr int64_t kBatchBytes = 4 * 1024 * 1024;

    using OpenConnection = std::function<std::shared_ptr<AFCDirectory>()>;

    ParallelCopies(TransferObserver& observer, OpenConnection openConnection,
                   int connections = kConnections);
    /** Stops the copies in progress and waits for the connections' threads. */
    ~ParallelCopies();
    ParallelCopies(const ParallelCopies&) = delete;
    ParallelCopies& operator=(const ParallelCopies&) = delete;

    /**
     * Takes the file when it is small enough and a connection can be had; false leaves it to the
     * walk. Waits while every connection has a file waiting, reporting what ends meanwhile.
     */
    bool take(FileCopy copy);
    /** Reports the files that have ended since the last report. */
    void reportEnded();
    /** Waits for every file taken and reports them; true when every one arrived. */
    bool finish();

private:
    struct Ended {
        FileCopy copy;
        bool arrived = false;
        CZelboString reason;
    };

    /** Opens one more connection when every open one is busy; false when none is open. */
    bool growConnections();
    void runConnection(const std::shared_ptr<AFCDirectory>& connection);
    /** The files waiting that one connection takes next; empty once stopping. */
    std::vector<FileCopy> takeBatch();
    void copyBatchOn(AFCDirectory& connection, const std::vector<FileCopy>& batch);
    Ended copyOn(AFCDirectory& connection, const FileCopy& copy);
    /** A file taken by a connection has ended; nullopt for one dropped by a cancel. */
    void end(std::optional<Ended> ended);
    void noteCancel();
    void stop();

    TransferObserver& observer_;
    OpenConnection openConnection_;
    const int connections_;
    bool openFailed_ = false;
    std::vector<std::thread> threads_;
    std::atomic<bool> cancelled_{false};
    bool allArrived_ = true;

    // Guards the waiting and ended files and the stop flag.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<FileCopy> waiting_;
    std::deque<Ended> ended_;
    // Files taken by the connections and not ended yet, and the connections that have any.
    size_t inProgress_ = 0;
    size_t busyConnections_ = 0;
    bool stopping_ = false;
};
