#pragma once

#include <cstddef>
#include <functional>
#include <chrono>
#include <mutex>
#include <vector>

#include "transfer/sqlitedatabase.h"
#include "transfer/transferrecord.h"

/**
 * The history of copied files: a list in memory and the table "transfers" of an SQLite file,
 * which hold the same records in the same order, oldest first.
 *
 * Nothing is opened until the first addRecord or records. The first successful open puts the rows
 * of earlier runs ahead of the records added since the program started. While the file cannot be
 * opened the records are kept in memory only, no error shown, and every later call tries again;
 * the open that succeeds stores the kept records. A record whose insert fails stays in memory
 * only. Texts are stored as UTF-8.
 *
 * Any thread may call any member; the list and the connection are used under one lock.
 */
class TransferHistoryStore {
public:
    using RecordAddedListener = std::function<void(const TransferRecord&)>;

    /** databasePath: the local path of the SQLite file; missing folders on it are created. */
    explicit TransferHistoryStore(CZelboString databasePath);
    /** Commits what is pending and closes the database. */
    ~TransferHistoryStore();
    TransferHistoryStore(const TransferHistoryStore&) = delete;
    TransferHistoryStore& operator=(const TransferHistoryStore&) = delete;

    /** Appends the record and stores it; once stored it carries the row's time stamp. */
    void addRecord(TransferRecord record);
    /** A copy of the list, oldest first. */
    std::vector<TransferRecord> records();
    /** A copy of the records at index `from` and later; empty when `from` is past the end. */
    std::vector<TransferRecord> records(size_t from);
    /** Closes the database; a later call opens it again. */
    void close();
    /** Writes the records stored since the last commit through to the disk. */
    void flush();
    /**
     * Called after each addRecord, with the record as the list holds it, on the adding thread and
     * outside the lock.
     */
    void setRecordAddedListener(RecordAddedListener listener);

private:
    void commit();
    bool ensureOpen();
    void loadEarlierRecords();
    void storeUnstoredRecords();
    void insert(TransferRecord& record);

    const CZelboString databasePath_;
    std::mutex mutex_;
    SqliteDatabase database_;
    std::vector<TransferRecord> records_;
    /** The records from this index on were added while the database was closed. */
    size_t firstUnstored_ = 0;
    bool earlierRecordsLoaded_ = false;
    RecordAddedListener recordAdded_;
    // Inserts share a transaction, committed every so many records or so long, on reads, flush
    // and close: a commit per record cost a run of small files more than the copies.
    bool inTransaction_ = false;
    int uncommitted_ = 0;
    std::chrono::steady_clock::time_point transactionStart_;
};
