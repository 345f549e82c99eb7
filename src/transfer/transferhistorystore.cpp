#include "transfer/transferhistorystore.h"

#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>

namespace {

constexpr int kBusyTimeoutMs = 60000;
constexpr int kCommitEvery = 100;
constexpr std::chrono::milliseconds kCommitAfter{250};

constexpr const char* kCountTables =
    "select count(*) from sqlite_master where type='table' and name='transfers'";
// Tables of earlier versions were made with this very text; it stays as it is.
constexpr const char* kCreateTable =
    "CREATE TABLE transfers (id INT PRIMARY KEY, from_device tinyint(1), occurred_time TIMESTAMP "
    "DEFAULT CURRENT_TIMESTAMP, \t\t\t\t\t\t status INT, local_file TEXT, device_file TEXT, "
    "device_name TEXT);";
constexpr const char* kInsert =
    "INSERT INTO transfers (from_device, status, local_file, device_file, device_name) "
    "VALUES (?, ?, ?, ?, ?) RETURNING occurred_time;";
constexpr const char* kSelectAll =
    "SELECT from_device, status, occurred_time, local_file, device_file, device_name "
    "FROM transfers ORDER BY rowid;";

void createParentFolders(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    // A failure shows when the file is opened.
    std::error_code ignored;
    if (!parent.empty())
        std::filesystem::create_directories(parent, ignored);
}

TransferRecord recordFromRow(const SqliteDatabase::Statement& row) {
    TransferRecord record;
    record.fromDevice = row.isInteger(0) && row.integer(0) == 1;
    record.status = row.integer(1);
    record.occurredTime = CZelboString::fromUtf8(row.text(2));
    record.localFile = CZelboString::fromUtf8(row.text(3));
    record.deviceFile = CZelboString::fromUtf8(row.text(4));
    record.deviceName = CZelboString::fromUtf8(row.text(5));
    return record;
}

}  // namespace

TransferHistoryStore::TransferHistoryStore(CZelboString databasePath)
    : databasePath_(std::move(databasePath)) {}

TransferHistoryStore::~TransferHistoryStore() {
    close();
}

void TransferHistoryStore::addRecord(TransferRecord record) {
    RecordAddedListener listener;
    TransferRecord added;
    {
        const std::lock_guard lock(mutex_);
        records_.push_back(std::move(record));
        if (ensureOpen())
            storeUnstoredRecords();
        listener = recordAdded_;
        if (listener)
            added = records_.back();
    }
    if (listener)
        listener(added);
}

std::vector<TransferRecord> TransferHistoryStore::records() {
    return records(0);
}

std::vector<TransferRecord> TransferHistoryStore::records(size_t from) {
    const std::lock_guard lock(mutex_);
    if (ensureOpen()) {
        storeUnstoredRecords();
        commit();
    }
    if (from >= records_.size())
        return {};
    return {records_.begin() + static_cast<std::ptrdiff_t>(from), records_.end()};
}

void TransferHistoryStore::close() {
    const std::lock_guard lock(mutex_);
    commit();
    database_.close();
}

void TransferHistoryStore::flush() {
    const std::lock_guard lock(mutex_);
    commit();
}

void TransferHistoryStore::commit() {
    if (!inTransaction_)
        return;
    inTransaction_ = false;
    uncommitted_ = 0;
    try {
        database_.execute("COMMIT;");
    } catch (const SqliteDatabase::Error&) {
        try {
            database_.execute("ROLLBACK;");
        } catch (const SqliteDatabase::Error&) {
            // Closing the connection ends the transaction.
        }
    }
}

void TransferHistoryStore::setRecordAddedListener(RecordAddedListener listener) {
    const std::lock_guard lock(mutex_);
    recordAdded_ = std::move(listener);
}

bool TransferHistoryStore::ensureOpen() {
    if (database_.isOpen())
        return true;
    try {
        const std::string path = databasePath_.toUtf8();
        createParentFolders(path);
        database_.open(path, kBusyTimeoutMs);
        // One record per copied file: a write-ahead log without a sync per commit keeps a run
        // of small files from waiting on the disk after each one.
        database_.execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
        if (database_.queryInteger(kCountTables) < 1)
            database_.execute(kCreateTable);
        if (!earlierRecordsLoaded_)
            loadEarlierRecords();
        return true;
    } catch (const SqliteDatabase::Error&) {
        database_.close();
        return false;
    }
}

void TransferHistoryStore::loadEarlierRecords() {
    // Read completely before anything is added, so that a failed read can be tried again later.
    std::vector<TransferRecord> earlier;
    SqliteDatabase::Statement rows = database_.prepare(kSelectAll);
    while (rows.step())
        earlier.push_back(recordFromRow(rows));
    records_.insert(records_.begin(), std::make_move_iterator(earlier.begin()),
                    std::make_move_iterator(earlier.end()));
    firstUnstored_ += earlier.size();
    earlierRecordsLoaded_ = true;
}

void TransferHistoryStore::storeUnstoredRecords() {
    if (firstUnstored_ >= records_.size())
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!inTransaction_) {
        try {
            database_.execute("BEGIN;");
        } catch (const SqliteDatabase::Error&) {
            return;  // kept in memory, stored with the next record
        }
        inTransaction_ = true;
        transactionStart_ = now;
    }
    for (; firstUnstored_ < records_.size(); ++firstUnstored_) {
        try {
            insert(records_[firstUnstored_]);
            ++uncommitted_;
        } catch (const SqliteDatabase::Error&) {
            // The record stays in memory only; the history is no reason to stop a transfer.
        }
    }
    if (uncommitted_ >= kCommitEvery || now - transactionStart_ >= kCommitAfter)
        commit();
}

void TransferHistoryStore::insert(TransferRecord& record) {
    SqliteDatabase::Statement statement = database_.prepare(kInsert);
    statement.bind(1, record.fromDevice ? 1 : 0);
    statement.bind(2, record.status);
    statement.bind(3, record.localFile.toUtf8());
    statement.bind(4, record.deviceFile.toUtf8());
    statement.bind(5, record.deviceName.toUtf8());
    CZelboString occurredTime;
    while (statement.step())
        occurredTime = CZelboString::fromUtf8(statement.text(0));
    record.occurredTime = std::move(occurredTime);
}
