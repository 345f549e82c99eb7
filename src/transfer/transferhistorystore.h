#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "transfer/sqlitedatabase.h"
#include "transfer/transferrecord.h"

/**
 * The history of copied files: a list in memory and the table "transfers" of an SQLite file,
 * which hold the same records in the same order, oldest first.
 *
 * Nothing is opened until the first addRecord or records. The first successful open puts the rows
 * of earlier runs ahead of the records added since the program started; a row that cannot be read
 * ends that load, and the rows before it are kept. While the file cannot be opened the records are
 * kept in memory only, no error shown, and every later call tries again; the open that succeeds
 * stores the kept records. The schema is versioned (PRAGMA user_version); opening a file of an
 * older version migrates it in the transaction that checks the table, keeping every row. Each
 * record is committed as it is added. A record that cannot be
 * stored (the file is locked, the disk is full) stays in memory and is tried again, in order and
 * never twice, with the next addRecord, records or flush. Texts are stored as UTF-8.
 *
 * Beside the records the history holds the file being copied now, in memory only, until the
 * record of that file is added.
 *
 * Any thread may call any member; the list and the connection are used under one lock.
 */
class TransferHistoryStore {
public:
    using RecordAddedListener = std::function<void(const TransferRecord&)>;

    /** A file whose copy has begun and not ended. */
    struct FileInProgress {
        /** Its record as it will be added; status 0. */
        TransferRecord record;
        /** The bytes copied so far. */
        int64_t done = 0;
    };

    static constexpr std::chrono::milliseconds kBusyTimeout{60000};

    /**
     * databasePath: the local path of the SQLite file; missing folders on it are created.
     * busyTimeout: how long a write waits for another program that holds the file locked.
     */
    explicit TransferHistoryStore(CZelboString databasePath,
                                  std::chrono::milliseconds busyTimeout = kBusyTimeout);
    /** Stores what it can and closes the database. */
    ~TransferHistoryStore();
    TransferHistoryStore(const TransferHistoryStore&) = delete;
    TransferHistoryStore& operator=(const TransferHistoryStore&) = delete;

    /**
     * Appends the record and stores it; once stored it carries the row's time stamp. It ends the
     * file in progress.
     */
    void addRecord(TransferRecord record);
    /** A copy of the list, oldest first. */
    std::vector<TransferRecord> records();
    /** A copy of the records at index `from` and later; empty when `from` is past the end. */
    std::vector<TransferRecord> records(size_t from);
    /** Stores what it can and closes the database; a later call opens it again. */
    void close();
    /** Stores the records that are not stored yet. */
    void flush();
    /**
     * Called after each addRecord, with the record as the list holds it, on the adding thread and
     * outside the lock.
     */
    void setRecordAddedListener(RecordAddedListener listener);

    /** A file's copy begins; record.size is its size (-1 when not known). */
    void setFileInProgress(TransferRecord record);
    /** The file in progress has `done` bytes of `total` (-1 when not known). */
    void updateFileInProgress(int64_t done, int64_t total);
    /** The file in progress ended without a record. */
    void clearFileInProgress();
    std::optional<FileInProgress> fileInProgress() const;

private:
    bool ensureOpen();
    void prepareTable();
    void addMissingColumns();
    /** Brings the schema to its current version, one step at a time. */
    void migrate();
    void loadEarlierRecords();
    void storeUnstoredRecords();
    CZelboString insert(const TransferRecord& record);
    void rollBack() noexcept;

    const CZelboString databasePath_;
    const std::chrono::milliseconds busyTimeout_;
    std::mutex mutex_;
    SqliteDatabase database_;
    std::vector<TransferRecord> records_;
    /** The records from this index on are not in the database yet. */
    size_t firstUnstored_ = 0;
    bool earlierRecordsLoaded_ = false;
    RecordAddedListener recordAdded_;

    // Apart from the list's lock: progress reports never wait for the database.
    mutable std::mutex inProgressMutex_;
    std::optional<FileInProgress> inProgress_;
};
