// The transfer history on a real SQLite file: what is stored, what a restart reads back, a file
// that cannot be opened, a file another program holds locked, a damaged file, rows and tables of
// older versions, and a writer racing a reader.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/temporaryfolder.h"
#include "transfer/sqlitedatabase.h"
#include "transfer/transferhistorystore.h"

namespace fs = std::filesystem;

namespace {

TransferRecord makeRecord(const char* localFile, int32_t status = TransferRecord::kCopied,
                          bool fromDevice = true) {
    TransferRecord record;
    record.fromDevice = fromDevice;
    record.status = status;
    record.localFile = CZelboString::fromUtf8(localFile);
    record.deviceFile = u"/DCIM/100APPLE/";
    record.deviceName = u"iPhone";
    return record;
}

std::string describe(const TransferRecord& record) {
    return std::to_string(record.fromDevice) + "|" + std::to_string(record.status) + "|" +
           record.occurredTime.toUtf8() + "|" + record.localFile.toUtf8() + "|" +
           record.deviceFile.toUtf8() + "|" + record.deviceName.toUtf8();
}

std::vector<std::string> describe(const std::vector<TransferRecord>& records) {
    std::vector<std::string> lines;
    for (const TransferRecord& record : records)
        lines.push_back(describe(record));
    return lines;
}

std::vector<std::string> localFiles(const std::vector<TransferRecord>& records) {
    std::vector<std::string> files;
    for (const TransferRecord& record : records)
        files.push_back(record.localFile.toUtf8());
    return files;
}

/** The table's rows as another program sees them, in storage order, in the format of describe. */
std::vector<std::string> tableRows(const fs::path& file) {
    SqliteDatabase database;
    database.open(file.string(), 1000);
    auto rows = database.prepare(
        "SELECT from_device, status, occurred_time, local_file, device_file, device_name "
        "FROM transfers ORDER BY rowid");
    std::vector<std::string> lines;
    while (rows.step()) {
        lines.push_back(std::to_string(rows.integer(0)) + "|" + std::to_string(rows.integer(1)) +
                        "|" + rows.text(2) + "|" + rows.text(3) + "|" + rows.text(4) + "|" +
                        rows.text(5));
    }
    return lines;
}

bool isTimeStamp(const CZelboString& text) {
    static const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
    return std::regex_match(text.toUtf8(), stamp);
}

class TransferHistoryStoreTest : public testing::Test {
protected:
    TemporaryFolder folder;
    fs::path file = folder / "data/Plovik/transfers.sqlite";
    CZelboString path = CZelboString::fromUtf8(file.string());
};

TEST_F(TransferHistoryStoreTest, OpensLazilyAndCreatesTheTableWithTheKnownStatementAndColumns) {
    TransferHistoryStore store(path);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(store.records().empty());

    SqliteDatabase database;
    database.open(file.string(), 1000);
    auto schema = database.prepare("SELECT sql FROM sqlite_master WHERE name = 'transfers'");
    ASSERT_TRUE(schema.step());
    // The known statement, with the added columns appended as ALTER TABLE appends them.
    EXPECT_EQ(schema.text(0),
              "CREATE TABLE transfers (id INT PRIMARY KEY, from_device tinyint(1), occurred_time "
              "TIMESTAMP DEFAULT CURRENT_TIMESTAMP, \t\t\t\t\t\t status INT, local_file TEXT, "
              "device_file TEXT, device_name TEXT, device_display_path TEXT, size INTEGER, "
              "not_copied_cause INTEGER, reason TEXT, device_identifier TEXT, device_modified "
              "INTEGER)");
    EXPECT_EQ(database.queryInteger("PRAGMA user_version;"), 1);
}

TEST_F(TransferHistoryStoreTest, AFileOfTheUnversionedSchemaIsMigratedOnceKeepingEveryRow) {
    fs::create_directories(file.parent_path());
    {
        // As the last version without a schema version left it: all four added columns.
        SqliteDatabase database;
        database.open(file.string(), 1000);
        database.execute(
            "CREATE TABLE transfers (id INT PRIMARY KEY, from_device tinyint(1), occurred_time "
            "TIMESTAMP DEFAULT CURRENT_TIMESTAMP, \t\t\t\t\t\t status INT, local_file TEXT, "
            "device_file TEXT, device_name TEXT);"
            "ALTER TABLE transfers ADD COLUMN device_display_path TEXT;"
            "ALTER TABLE transfers ADD COLUMN size INTEGER;"
            "ALTER TABLE transfers ADD COLUMN not_copied_cause INTEGER;"
            "ALTER TABLE transfers ADD COLUMN reason TEXT;"
            "INSERT INTO transfers (from_device, status, occurred_time, local_file, device_file, "
            "device_name, device_display_path, size, not_copied_cause, reason) VALUES (1, 3, "
            "'2023-01-02 03:04:05', '/home/a.jpg', '/DCIM/a.jpg', 'iPhone', "
            "'/Media/DCIM/a.jpg', 12, 1, 'No longer on the device');");
    }
    TransferRecord copied = makeRecord("/home/b.heic");
    copied.deviceFile = u"/DCIM/100APPLE/IMG_0002.HEIC";
    copied.deviceIdentifier = u"00008030-001A2B3C4D5E6F70";
    copied.deviceModificationTime = 1700000000123456789;
    copied.size = 2048;
    TransferHistoryStore(path).addRecord(copied);

    // Opened again, and by a program of the newer version still: nothing is migrated twice.
    const std::vector<TransferRecord> list = TransferHistoryStore(path).records();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(describe(list[0]), "1|3|2023-01-02 03:04:05|/home/a.jpg|/DCIM/a.jpg|iPhone");
    EXPECT_EQ(list[0].reason, u"No longer on the device");
    EXPECT_EQ(list[0].size, 12);
    EXPECT_TRUE(list[0].deviceIdentifier.isEmpty());
    EXPECT_EQ(list[0].deviceModificationTime, 0);
    EXPECT_EQ(list[1].deviceIdentifier, u"00008030-001A2B3C4D5E6F70");
    EXPECT_EQ(list[1].deviceModificationTime, 1700000000123456789);
    SqliteDatabase database;
    database.open(file.string(), 1000);
    EXPECT_EQ(database.queryInteger("PRAGMA user_version;"), 1);
    EXPECT_EQ(database.queryInteger("SELECT count(*) FROM pragma_table_info('transfers') WHERE "
                                    "name = 'device_identifier'"),
              1);

    // A file of a later version is used as it is, its own additions left alone.
    database.execute("PRAGMA user_version = 7; ALTER TABLE transfers ADD COLUMN later TEXT;");
    database.close();
    TransferHistoryStore later(path);
    later.addRecord(makeRecord("/home/c.jpg"));
    EXPECT_EQ(later.records().size(), 3u);
    later.close();
    database.open(file.string(), 1000);
    EXPECT_EQ(database.queryInteger("PRAGMA user_version;"), 7);
}

TEST_F(TransferHistoryStoreTest, ApostrophesAndNonAsciiTextsAreStoredAsUtf8AndReadBackUnchanged) {
    TransferRecord record = makeRecord("/home/ann/It's 'quoted' – Ünïcode/日本.jpg");
    record.deviceFile = u"/DCIM/O'Brien/";
    record.deviceName = CZelboString::fromUtf8("Ann's iPhone 🙂");
    {
        TransferHistoryStore store(path);
        store.addRecord(record);
    }
    const std::vector<std::string> rows = tableRows(file);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NE(rows[0].find("|/home/ann/It's 'quoted' – Ünïcode/日本.jpg|/DCIM/O'Brien/|Ann's "
                           "iPhone 🙂"),
              std::string::npos)
        << rows[0];

    const std::vector<TransferRecord> read = TransferHistoryStore(path).records();
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].localFile, record.localFile);
    EXPECT_EQ(read[0].deviceFile, record.deviceFile);
    EXPECT_EQ(read[0].deviceName, record.deviceName);
}

TEST_F(TransferHistoryStoreTest, AddedRecordCarriesTheRowsTimeStampAndReachesTheListener) {
    TransferHistoryStore store(path);
    std::vector<std::string> announced;
    store.setRecordAddedListener(
        [&](const TransferRecord& record) { announced.push_back(describe(record)); });
    store.addRecord(makeRecord("/tmp/a.jpg"));

    const std::vector<TransferRecord> list = store.records();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(isTimeStamp(list[0].occurredTime)) << list[0].occurredTime.toUtf8();
    EXPECT_EQ(announced, describe(list));
    EXPECT_EQ(tableRows(file), describe(list));
}

TEST_F(TransferHistoryStoreTest, RestartListsEarlierRowsFirstAndReopeningDoesNotRepeatThem) {
    std::vector<TransferRecord> firstRun;
    {
        TransferHistoryStore store(path);
        store.addRecord(makeRecord("/tmp/a.jpg"));
        store.addRecord(makeRecord("/tmp/b.jpg", TransferRecord::kNotCopied, false));
        firstRun = store.records();
    }
    TransferHistoryStore store(path);
    // Added before anything asked for the list: the earlier rows still come first.
    store.addRecord(makeRecord("/tmp/c.jpg"));
    std::vector<TransferRecord> list = store.records();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(describe({list[0], list[1]}), describe(firstRun));
    EXPECT_EQ(list[1].status, TransferRecord::kNotCopied);
    EXPECT_FALSE(list[1].fromDevice);
    EXPECT_EQ(list[2].localFile, u"/tmp/c.jpg");
    EXPECT_TRUE(isTimeStamp(list[2].occurredTime));

    store.close();
    store.addRecord(makeRecord("/tmp/d.jpg"));
    list = store.records();
    EXPECT_EQ(localFiles(list),
              (std::vector<std::string>{"/tmp/a.jpg", "/tmp/b.jpg", "/tmp/c.jpg", "/tmp/d.jpg"}));
    EXPECT_EQ(tableRows(file), describe(list));
}

TEST_F(TransferHistoryStoreTest, RecordsFromAnIndexAreTheTailAfterEarlierRows) {
    TransferHistoryStore(path).addRecord(makeRecord("/tmp/earlier.jpg"));
    TransferHistoryStore store(path);
    store.addRecord(makeRecord("/tmp/a.jpg"));
    store.addRecord(makeRecord("/tmp/b.jpg"));
    EXPECT_EQ(localFiles(store.records(1)), (std::vector<std::string>{"/tmp/a.jpg", "/tmp/b.jpg"}));
    EXPECT_EQ(describe(store.records(0)), describe(store.records()));
    EXPECT_TRUE(store.records(3).empty());
    EXPECT_TRUE(store.records(1000).empty());
}

TEST_F(TransferHistoryStoreTest, UnavailableFileKeepsRecordsInMemoryAndStoresThemOnceItOpens) {
    TransferHistoryStore(path).addRecord(makeRecord("/tmp/earlier.jpg"));
    // The data folder goes away and a regular file takes its place, as with an unmounted drive.
    const fs::path data = folder / "data";
    fs::rename(data, folder / "away");
    folder.write("data", "not a folder");

    TransferHistoryStore store(path);
    store.addRecord(makeRecord("/tmp/a.jpg"));
    store.addRecord(makeRecord("/tmp/b.jpg"));
    std::vector<TransferRecord> list = store.records();
    EXPECT_EQ(localFiles(list), (std::vector<std::string>{"/tmp/a.jpg", "/tmp/b.jpg"}));
    EXPECT_TRUE(list[0].occurredTime.isEmpty());

    fs::remove(data);
    fs::rename(folder / "away", data);
    store.addRecord(makeRecord("/tmp/c.jpg"));
    list = store.records();
    EXPECT_EQ(localFiles(list), (std::vector<std::string>{"/tmp/earlier.jpg", "/tmp/a.jpg",
                                                          "/tmp/b.jpg", "/tmp/c.jpg"}));
    for (const TransferRecord& record : list)
        EXPECT_TRUE(isTimeStamp(record.occurredTime)) << record.localFile.toUtf8();
    EXPECT_EQ(tableRows(file), describe(list));
}

TEST_F(TransferHistoryStoreTest, EachRecordIsCommittedAsItIsAdded) {
    TransferHistoryStore store(path);
    store.addRecord(makeRecord("/tmp/a.jpg"));
    store.addRecord(makeRecord("/tmp/b.jpg"));
    // Another program (or the next start after a crash) sees them without a flush or a close.
    EXPECT_EQ(tableRows(file), describe(store.records()));
    EXPECT_EQ(tableRows(file).size(), 2u);
}

TEST_F(TransferHistoryStoreTest, RecordsALockedFileRefusedAreStoredLaterOnceEachInOrder) {
    TransferHistoryStore store(path, std::chrono::milliseconds(20));
    store.addRecord(makeRecord("/tmp/a.jpg"));
    SqliteDatabase other;
    other.open(file.string(), 1000);
    other.execute("BEGIN IMMEDIATE;");
    store.addRecord(makeRecord("/tmp/b.jpg"));
    store.addRecord(makeRecord("/tmp/c.jpg"));
    store.flush();
    std::vector<TransferRecord> list = store.records();
    EXPECT_EQ(localFiles(list),
              (std::vector<std::string>{"/tmp/a.jpg", "/tmp/b.jpg", "/tmp/c.jpg"}));
    EXPECT_TRUE(list[1].occurredTime.isEmpty());
    EXPECT_TRUE(list[2].occurredTime.isEmpty());

    other.execute("COMMIT;");
    store.flush();
    store.flush();
    store.addRecord(makeRecord("/tmp/d.jpg"));
    list = store.records();
    for (const TransferRecord& record : list)
        EXPECT_TRUE(isTimeStamp(record.occurredTime)) << record.localFile.toUtf8();
    EXPECT_EQ(tableRows(file), describe(list));
    EXPECT_EQ(tableRows(file).size(), 4u);
}

TEST_F(TransferHistoryStoreTest,
       ADamagedPageEndsTheLoadKeepingTheRowsBeforeItAndNewRecordsAreStored) {
    constexpr int kRows = 300;
    constexpr int kMarked = 150;
    {
        TransferHistoryStore store(path);
        for (int i = 0; i < kRows; ++i) {
            const std::string name = i == kMarked ? "MARKED" : std::to_string(i);
            store.addRecord(makeRecord(("/tmp/" + std::string(150, 'p') + "/" + name).c_str()));
        }
    }
    // Closing the last connection moved everything into the file; the page that holds the marked
    // row is wiped, as a damaged sector would be.
    int pageSize = 0;
    {
        SqliteDatabase database;
        database.open(file.string(), 1000);
        pageSize = database.queryInteger("PRAGMA page_size;");
    }
    std::string bytes;
    {
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const size_t marked = bytes.find("/MARKED");
    ASSERT_NE(marked, std::string::npos);
    const size_t pageStart = marked / static_cast<size_t>(pageSize) * static_cast<size_t>(pageSize);
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(pageStart), pageSize, '\0');
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;

    TransferHistoryStore store(path);
    const std::vector<TransferRecord> loaded = store.records();
    ASSERT_GT(loaded.size(), 0u);
    ASSERT_LT(loaded.size(), static_cast<size_t>(kMarked));
    for (size_t i = 0; i < loaded.size(); ++i)
        EXPECT_EQ(fs::path(loaded[i].localFile.toUtf8()).filename(), std::to_string(i));

    store.addRecord(makeRecord("/tmp/new.jpg"));
    const std::vector<TransferRecord> list = store.records();
    ASSERT_EQ(list.size(), loaded.size() + 1);
    EXPECT_TRUE(isTimeStamp(list.back().occurredTime));
    SqliteDatabase database;
    database.open(file.string(), 1000);
    auto newest = database.prepare("SELECT local_file FROM transfers ORDER BY rowid DESC LIMIT 1");
    ASSERT_TRUE(newest.step());
    EXPECT_EQ(newest.text(0), "/tmp/new.jpg");
}

TEST_F(TransferHistoryStoreTest,
       ATableOfAnOlderVersionGainsTheNewColumnsAndBothKindsOfRowReadBack) {
    fs::create_directories(file.parent_path());
    {
        SqliteDatabase database;
        database.open(file.string(), 1000);
        database.execute(
            "CREATE TABLE transfers (id INT PRIMARY KEY, from_device tinyint(1), occurred_time "
            "TIMESTAMP DEFAULT CURRENT_TIMESTAMP, \t\t\t\t\t\t status INT, local_file TEXT, "
            "device_file TEXT, device_name TEXT);"
            "INSERT INTO transfers (from_device, status, local_file, device_file, device_name) "
            "VALUES (1, 3, '/home/old.jpg', '/Media/DCIM/old.jpg', 'iPod');");
    }
    TransferRecord skipped = makeRecord("/home/new.jpg", TransferRecord::kNotCopied);
    skipped.notCopiedCause = TransferRecord::NotCopiedCause::Skipped;
    skipped.deviceFile = u"/DCIM/new.jpg";
    skipped.deviceDisplayPath = u"/Media/DCIM/new.jpg";
    skipped.size = 5000000000;
    TransferHistoryStore(path).addRecord(skipped);
    {
        // An older version still adds its rows to the changed table.
        SqliteDatabase database;
        database.open(file.string(), 1000);
        database.execute(
            "INSERT INTO transfers (from_device, status, local_file, device_file, device_name) "
            "VALUES (0, 2, '/home/up.jpg', '/Media/DCIM/', 'iPod');");
    }

    const std::vector<TransferRecord> list = TransferHistoryStore(path).records();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].notCopiedCause, TransferRecord::NotCopiedCause::Unknown);
    EXPECT_EQ(list[0].size, -1);
    EXPECT_TRUE(list[0].deviceDisplayPath.isEmpty());
    EXPECT_EQ(list[0].deviceFile, u"/Media/DCIM/old.jpg");
    EXPECT_EQ(list[1].notCopiedCause, TransferRecord::NotCopiedCause::Skipped);
    EXPECT_EQ(list[1].size, 5000000000);
    EXPECT_EQ(list[1].deviceFile, u"/DCIM/new.jpg");
    EXPECT_EQ(list[1].deviceDisplayPath, u"/Media/DCIM/new.jpg");
    EXPECT_EQ(list[2].localFile, u"/home/up.jpg");
    EXPECT_EQ(list[2].size, -1);
}

TEST_F(TransferHistoryStoreTest, TheFileInProgressLastsUntilARecordIsAddedAndIsNeverStored) {
    TransferHistoryStore store(path);
    EXPECT_FALSE(store.fileInProgress());
    TransferRecord started = makeRecord("/tmp/big.mov");
    started.size = 1000;
    store.setFileInProgress(started);
    store.updateFileInProgress(250, -1);
    const std::optional<TransferHistoryStore::FileInProgress> inProgress = store.fileInProgress();
    ASSERT_TRUE(inProgress);
    EXPECT_EQ(inProgress->done, 250);
    EXPECT_EQ(inProgress->record.size, 1000);
    EXPECT_EQ(describe(inProgress->record), describe(started));
    EXPECT_TRUE(store.records().empty());

    store.addRecord(makeRecord("/tmp/big.mov"));
    EXPECT_FALSE(store.fileInProgress());
    store.setFileInProgress(started);
    store.clearFileInProgress();
    EXPECT_FALSE(store.fileInProgress());
    EXPECT_EQ(tableRows(file).size(), 1u);
}

TEST_F(TransferHistoryStoreTest, RowsOfOlderVersionsReadBackAsWritten) {
    TransferHistoryStore(path).records();
    {
        SqliteDatabase database;
        database.open(file.string(), 1000);
        // Older versions quoted the texts by hand; the id is never written.
        database.execute(
            "INSERT INTO transfers (id, from_device, status, local_file, device_file, device_name) "
            "VALUES (NULL, 1, 2, '/home/o''brien/Ünï.jpg', '/DCIM/Ünï.jpg', 'Bob''s iPad');"
            "INSERT INTO transfers (from_device, status, occurred_time, local_file, device_file, "
            "device_name) VALUES (0, 3, '2010-03-04 05:06:07', '/home/b', '/Media/', 'iPod');"
            "INSERT INTO transfers (from_device, status, occurred_time, local_file, device_file, "
            "device_name) VALUES (NULL, NULL, NULL, NULL, NULL, NULL);"
            "INSERT INTO transfers (from_device) VALUES (2);");
    }
    const std::vector<TransferRecord> list = TransferHistoryStore(path).records();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_TRUE(list[0].fromDevice);
    EXPECT_EQ(list[0].status, 2);
    EXPECT_TRUE(isTimeStamp(list[0].occurredTime));
    EXPECT_EQ(list[0].localFile.toUtf8(), "/home/o'brien/Ünï.jpg");
    EXPECT_EQ(list[0].deviceName.toUtf8(), "Bob's iPad");
    EXPECT_EQ(describe(list[1]), "0|3|2010-03-04 05:06:07|/home/b|/Media/|iPod");
    EXPECT_EQ(describe(list[2]), "0|0||||");
    EXPECT_FALSE(list[3].fromDevice);
}

TEST_F(TransferHistoryStoreTest, ReadingWhileAnotherThreadAppendsNeverSeesATornList) {
    // Kept in memory only, appends come quickly enough to grow the list under the reader's copies
    // (a stored one waits for the disk); the path is tried on every call all the same.
    folder.write("data", "not a folder");
    constexpr size_t kRecords = 3000;
    TransferHistoryStore store(path);
    std::thread worker([&] {
        for (size_t i = 0; i < kRecords; ++i)
            store.addRecord(makeRecord(std::to_string(i).c_str()));
    });
    size_t seen = 0;
    bool intact = true;
    while (seen < kRecords && intact) {
        const std::vector<TransferRecord> list = store.records();
        intact = list.size() >= seen;
        for (size_t i = 0; i < list.size() && intact; ++i)
            intact = list[i].localFile.toUtf8() == std::to_string(i);
        seen = list.size();
    }
    worker.join();
    EXPECT_TRUE(intact) << "after " << seen << " records";
    EXPECT_EQ(store.records().size(), kRecords);
}

}  // namespace

TEST(SqliteDatabaseTest, ErrorsNameTheResultCodeAndCarrySqlitesMessage) {
    TemporaryFolder folder;
    SqliteDatabase database;
    try {
        database.execute("SELECT 1");
        FAIL() << "a closed database ran a statement";
    } catch (const SqliteDatabase::Error& error) {
        EXPECT_STREQ(error.what(), "CPPSQLITE_ERROR[1000]: Database not open");
    }
    database.open((folder / "a.sqlite").string(), 1000);
    try {
        database.execute("SELEKT 1");
        FAIL() << "a syntax error passed";
    } catch (const SqliteDatabase::Error& error) {
        EXPECT_EQ(error.code(), 1);
        EXPECT_STREQ(error.what(), "SQLITE_ERROR[1]: near \"SELEKT\": syntax error");
    }
    folder.write("folder/file", "");
    EXPECT_THROW(database.open((folder / "folder/file/b.sqlite").string(), 1000),
                 SqliteDatabase::Error);
    EXPECT_FALSE(database.isOpen());
}
