#include "transfer/transferhistorystore.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
#include <system_error>
#include <utility>

namespace {

constexpr const char* kCountTables =
    "select count(*) from sqlite_master where type='table' and name='transfers'";
// Tables of earlier versions were made with this very text; it stays as it is.
constexpr const char* kCreateTable =
    "CREATE TABLE transfers (id INT PRIMARY KEY, from_device tinyint(1), occurred_time TIMESTAMP "
    "DEFAULT CURRENT_TIMESTAMP, \t\t\t\t\t\t status INT, local_file TEXT, device_file TEXT, "
    "device_name TEXT);";

struct AddedColumn {
    const char* name;
    const char* addition;
};

// Columns added after the table's first version, before the schema had a version: files of those
// versions hold any of them. Nullable, so that rows written before them read as "not known".
constexpr AddedColumn kUnversionedColumns[] = {
    {"device_display_path", "ALTER TABLE transfers ADD COLUMN device_display_path TEXT;"},
    {"size", "ALTER TABLE transfers ADD COLUMN size INTEGER;"},
    {"not_copied_cause", "ALTER TABLE transfers ADD COLUMN not_copied_cause INTEGER;"},
    {"reason", "ALTER TABLE transfers ADD COLUMN reason TEXT;"},
};

// The schema's version (PRAGMA user_version), and what each version adds to the one before.
// Columns stay nullable: older programs still write rows without them.
constexpr int kSchemaVersion = 1;
constexpr const char* kMigrations[kSchemaVersion] = {
    // 1: which device a file came from and its time there, for telling what was copied before.
    "ALTER TABLE transfers ADD COLUMN device_identifier TEXT; "
    "ALTER TABLE transfers ADD COLUMN device_modified INTEGER;",
};

constexpr const char* kInsert =
    "INSERT INTO transfers (from_device, status, local_file, device_file, device_name, "
    "device_display_path, size, not_copied_cause, reason, device_identifier, device_modified) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING occurred_time;";
constexpr const char* kSelectAll =
    "SELECT from_device, status, occurred_time, local_file, device_file, device_name, "
    "device_display_path, size, not_copied_cause, reason, device_identifier, device_modified "
    "FROM transfers ORDER BY rowid;";

void createParentFolders(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    // A failure shows when the file is opened.
    std::error_code ignored;
    if (!parent.empty())
        std::filesystem::create_directories(parent, ignored);
}

TransferRecord::NotCopiedCause causeFromColumn(const SqliteDatabase::Statement& row, int column) {
    using Cause = TransferRecord::NotCopiedCause;
    switch (row.integer(column)) {
        case static_cast<int>(Cause::Failed):
            return Cause::Failed;
        case static_cast<int>(Cause::Skipped):
            return Cause::Skipped;
        case static_cast<int>(Cause::Cancelled):
            return Cause::Cancelled;
        default:
            return Cause::Unknown;
    }
}

TransferRecord recordFromRow(const SqliteDatabase::Statement& row) {
    TransferRecord record;
    record.fromDevice = row.isInteger(0) && row.integer(0) == 1;
    record.status = row.integer(1);
    record.occurredTime = CZelboString::fromUtf8(row.text(2));
    record.localFile = CZelboString::fromUtf8(row.text(3));
    record.deviceFile = CZelboString::fromUtf8(row.text(4));
    record.deviceName = CZelboString::fromUtf8(row.text(5));
    record.deviceDisplayPath = CZelboString::fromUtf8(row.text(6));
    record.size = row.isInteger(7) ? row.integer64(7) : -1;
    if (record.status == TransferRecord::kNotCopied)
        record.notCopiedCause = causeFromColumn(row, 8);
    record.reason = CZelboString::fromUtf8(row.text(9));
    record.deviceIdentifier = CZelboString::fromUtf8(row.text(10));
    record.deviceModificationTime = row.isInteger(11) ? row.integer64(11) : 0;
    return record;
}

}  // namespace

TransferHistoryStore::TransferHistoryStore(CZelboString databasePath,
                                           std::chrono::milliseconds busyTimeout)
    : databasePath_(std::move(databasePath)), busyTimeout_(busyTimeout) {}

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
        // Under the list's lock: whoever reads the list and then the file in progress never
        // finds the file in both.
        clearFileInProgress();
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
    if (ensureOpen())
        storeUnstoredRecords();
    if (from >= records_.size())
        return {};
    return {records_.begin() + static_cast<std::ptrdiff_t>(from), records_.end()};
}

void TransferHistoryStore::close() {
    const std::lock_guard lock(mutex_);
    if (database_.isOpen())
        storeUnstoredRecords();
    database_.close();
}

void TransferHistoryStore::flush() {
    const std::lock_guard lock(mutex_);
    if (ensureOpen())
        storeUnstoredRecords();
}

void TransferHistoryStore::setRecordAddedListener(RecordAddedListener listener) {
    const std::lock_guard lock(mutex_);
    recordAdded_ = std::move(listener);
}

void TransferHistoryStore::setFileInProgress(TransferRecord record) {
    const std::lock_guard lock(inProgressMutex_);
    inProgress_ = FileInProgress{std::move(record), 0};
}

void TransferHistoryStore::updateFileInProgress(int64_t done, int64_t total) {
    const std::lock_guard lock(inProgressMutex_);
    if (!inProgress_)
        return;
    inProgress_->done = done;
    if (total >= 0)
        inProgress_->record.size = total;
}

void TransferHistoryStore::clearFileInProgress() {
    const std::lock_guard lock(inProgressMutex_);
    inProgress_.reset();
}

std::optional<TransferHistoryStore::FileInProgress> TransferHistoryStore::fileInProgress() const {
    const std::lock_guard lock(inProgressMutex_);
    return inProgress_;
}

bool TransferHistoryStore::ensureOpen() {
    if (database_.isOpen())
        return true;
    try {
        const std::string path = databasePath_.toUtf8();
        createParentFolders(path);
        database_.open(path, static_cast<int>(busyTimeout_.count()));
        // One commit per copied file: a write-ahead log without a sync per commit keeps a run of
        // small files from waiting on the disk after each one.
        database_.execute("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
        prepareTable();
    } catch (const SqliteDatabase::Error&) {
        database_.close();
        return false;
    }
    if (!earlierRecordsLoaded_)
        loadEarlierRecords();
    return true;
}

void TransferHistoryStore::prepareTable() {
    // One transaction, so that two programs opening a new file at once do not both change it.
    database_.execute("BEGIN IMMEDIATE;");
    try {
        if (database_.queryInteger(kCountTables) < 1)
            database_.execute(kCreateTable);
        addMissingColumns();
        migrate();
        database_.execute("COMMIT;");
    } catch (const SqliteDatabase::Error&) {
        rollBack();
        throw;
    }
}

void TransferHistoryStore::addMissingColumns() {
    std::set<std::string> columns;
    SqliteDatabase::Statement info = database_.prepare("PRAGMA table_info(transfers);");
    while (info.step())
        columns.insert(info.text(1));
    for (const AddedColumn& column : kUnversionedColumns) {
        if (!columns.contains(column.name))
            database_.execute(column.addition);
    }
}

void TransferHistoryStore::migrate() {
    // A file of a newer version is used as it is: its additions are nullable too.
    const int version = database_.queryInteger("PRAGMA user_version;");
    for (int next = std::max(version, 0); next < kSchemaVersion; ++next)
        database_.execute(kMigrations[next]);
    if (version < kSchemaVersion)
        database_.execute("PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";");
}

void TransferHistoryStore::loadEarlierRecords() {
    // Read completely before anything is added: the list keeps its order if reading fails.
    std::vector<TransferRecord> earlier;
    try {
        SqliteDatabase::Statement rows = database_.prepare(kSelectAll);
        while (rows.step())
            earlier.push_back(recordFromRow(rows));
    } catch (const SqliteDatabase::Error&) {
        // A damaged page ends the load; what was read stays, and new records are still stored.
    }
    records_.insert(records_.begin(), std::make_move_iterator(earlier.begin()),
                    std::make_move_iterator(earlier.end()));
    firstUnstored_ += earlier.size();
    earlierRecordsLoaded_ = true;
}

void TransferHistoryStore::storeUnstoredRecords() {
    if (firstUnstored_ >= records_.size())
        return;
    // All or none: a record counts as stored only once its transaction is committed, so that a
    // failure at any step leaves every one of them to be tried again, and none twice.
    std::vector<CZelboString> timeStamps;
    try {
        database_.execute("BEGIN;");
        for (size_t index = firstUnstored_; index < records_.size(); ++index)
            timeStamps.push_back(insert(records_[index]));
        database_.execute("COMMIT;");
    } catch (const SqliteDatabase::Error&) {
        rollBack();
        return;
    }
    for (CZelboString& timeStamp : timeStamps)
        records_[firstUnstored_++].occurredTime = std::move(timeStamp);
}

CZelboString TransferHistoryStore::insert(const TransferRecord& record) {
    SqliteDatabase::Statement statement = database_.prepare(kInsert);
    statement.bind(1, record.fromDevice ? 1 : 0);
    statement.bind(2, record.status);
    statement.bind(3, record.localFile.toUtf8());
    statement.bind(4, record.deviceFile.toUtf8());
    statement.bind(5, record.deviceName.toUtf8());
    statement.bind(6, record.deviceDisplayPath.toUtf8());
    if (record.size >= 0)
        statement.bind(7, record.size);
    else
        statement.bindNull(7);
    if (record.notCopiedCause != TransferRecord::NotCopiedCause::Unknown)
        statement.bind(8, static_cast<int>(record.notCopiedCause));
    else
        statement.bindNull(8);
    if (!record.reason.isEmpty())
        statement.bind(9, record.reason.toUtf8());
    else
        statement.bindNull(9);
    if (!record.deviceIdentifier.isEmpty())
        statement.bind(10, record.deviceIdentifier.toUtf8());
    else
        statement.bindNull(10);
    if (record.deviceModificationTime != 0)
        statement.bind(11, record.deviceModificationTime);
    else
        statement.bindNull(11);
    CZelboString occurredTime;
    while (statement.step())
        occurredTime = CZelboString::fromUtf8(statement.text(0));
    return occurredTime;
}

void TransferHistoryStore::rollBack() noexcept {
    if (!database_.inTransaction())
        return;
    try {
        database_.execute("ROLLBACK;");
    } catch (const SqliteDatabase::Error&) {
        // Closing the connection ends the transaction; the next call opens the file again.
        database_.close();
    }
}
