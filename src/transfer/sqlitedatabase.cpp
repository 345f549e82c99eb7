#include "transfer/sqlitedatabase.h"

#include <sqlite3.h>

#include <utility>

namespace {

struct CodeName {
    int code;
    const char* name;
};

constexpr CodeName kCodeNames[] = {
    {SQLITE_OK, "SQLITE_OK"},
    {SQLITE_ERROR, "SQLITE_ERROR"},
    {SQLITE_INTERNAL, "SQLITE_INTERNAL"},
    {SQLITE_PERM, "SQLITE_PERM"},
    {SQLITE_ABORT, "SQLITE_ABORT"},
    {SQLITE_BUSY, "SQLITE_BUSY"},
    {SQLITE_LOCKED, "SQLITE_LOCKED"},
    {SQLITE_NOMEM, "SQLITE_NOMEM"},
    {SQLITE_READONLY, "SQLITE_READONLY"},
    {SQLITE_INTERRUPT, "SQLITE_INTERRUPT"},
    {SQLITE_IOERR, "SQLITE_IOERR"},
    {SQLITE_CORRUPT, "SQLITE_CORRUPT"},
    {SQLITE_NOTFOUND, "SQLITE_NOTFOUND"},
    {SQLITE_FULL, "SQLITE_FULL"},
    {SQLITE_CANTOPEN, "SQLITE_CANTOPEN"},
    {SQLITE_PROTOCOL, "SQLITE_PROTOCOL"},
    {SQLITE_EMPTY, "SQLITE_EMPTY"},
    {SQLITE_SCHEMA, "SQLITE_SCHEMA"},
    {SQLITE_TOOBIG, "SQLITE_TOOBIG"},
    {SQLITE_CONSTRAINT, "SQLITE_CONSTRAINT"},
    {SQLITE_MISMATCH, "SQLITE_MISMATCH"},
    {SQLITE_MISUSE, "SQLITE_MISUSE"},
    {SQLITE_NOLFS, "SQLITE_NOLFS"},
    {SQLITE_AUTH, "SQLITE_AUTH"},
    {SQLITE_FORMAT, "SQLITE_FORMAT"},
    {SQLITE_RANGE, "SQLITE_RANGE"},
    {SQLITE_NOTADB, "SQLITE_NOTADB"},
    {SQLITE_NOTICE, "SQLITE_NOTICE"},
    {SQLITE_WARNING, "SQLITE_WARNING"},
    {SQLITE_ROW, "SQLITE_ROW"},
    {SQLITE_DONE, "SQLITE_DONE"},
    {SqliteDatabase::Error::kWrapperCode, "CPPSQLITE_ERROR"},
};

std::string codeName(int code) {
    for (const CodeName& entry : kCodeNames) {
        if (entry.code == code)
            return entry.name;
    }
    return "UNKNOWN_ERROR";
}

}  // namespace

SqliteDatabase::Error::Error(int code, const std::string& message)
    : std::runtime_error(codeName(code) + "[" + std::to_string(code) + "]: " + message),
      code_(code) {}

SqliteDatabase::Statement::Statement(Statement&& other) noexcept
    : statement_(std::exchange(other.statement_, nullptr)) {}

SqliteDatabase::Statement::~Statement() {
    sqlite3_finalize(statement_);
}

void SqliteDatabase::Statement::bind(int parameter, int value) {
    check(sqlite3_bind_int(statement_, parameter, value));
}

void SqliteDatabase::Statement::bind(int parameter, int64_t value) {
    check(sqlite3_bind_int64(statement_, parameter, value));
}

void SqliteDatabase::Statement::bindNull(int parameter) {
    check(sqlite3_bind_null(statement_, parameter));
}

void SqliteDatabase::Statement::bind(int parameter, const std::string& text) {
    check(sqlite3_bind_text64(statement_, parameter, text.data(), text.size(), SQLITE_TRANSIENT,
                              SQLITE_UTF8));
}

bool SqliteDatabase::Statement::step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW)
        return true;
    if (result != SQLITE_DONE)
        check(result);
    return false;
}

bool SqliteDatabase::Statement::isInteger(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_INTEGER;
}

bool SqliteDatabase::Statement::isNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

int SqliteDatabase::Statement::integer(int column) const {
    return sqlite3_column_int(statement_, column);
}

int64_t SqliteDatabase::Statement::integer64(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string SqliteDatabase::Statement::text(int column) const {
    const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    if (chars == nullptr)
        return {};
    return {chars, static_cast<size_t>(sqlite3_column_bytes(statement_, column))};
}

void SqliteDatabase::Statement::check(int result) const {
    if (result != SQLITE_OK)
        throw Error(result, sqlite3_errmsg(sqlite3_db_handle(statement_)));
}

SqliteDatabase::~SqliteDatabase() {
    close();
}

void SqliteDatabase::open(const std::string& path, int busyTimeoutMs) {
    close();
    const int result = sqlite3_open_v2(path.c_str(), &connection_,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (result != SQLITE_OK) {
        // A failed open may still hand out a connection, which carries the message.
        const Error error(result,
                          connection_ ? sqlite3_errmsg(connection_) : sqlite3_errstr(result));
        close();
        throw error;
    }
    sqlite3_busy_timeout(connection_, busyTimeoutMs);
    // SQLite falls back to reading only when the file is write-protected; every write would fail.
    if (sqlite3_db_readonly(connection_, "main") == 1) {
        close();
        throw Error(SQLITE_READONLY, sqlite3_errstr(SQLITE_READONLY));
    }
}

void SqliteDatabase::close() noexcept {
    // Waits for unfinished statements instead of failing with SQLITE_BUSY.
    sqlite3_close_v2(connection_);
    connection_ = nullptr;
}

bool SqliteDatabase::inTransaction() const {
    return connection_ != nullptr && sqlite3_get_autocommit(connection_) == 0;
}

void SqliteDatabase::execute(const std::string& sql) {
    requireOpen();
    char* message = nullptr;
    const int result = sqlite3_exec(connection_, sql.c_str(), nullptr, nullptr, &message);
    if (result != SQLITE_OK) {
        const Error error(result, message ? message : sqlite3_errstr(result));
        sqlite3_free(message);
        throw error;
    }
}

int SqliteDatabase::queryInteger(const std::string& sql) {
    Statement statement = prepare(sql);
    if (!statement.step())
        throw Error(Error::kWrapperCode, "Invalid scalar query");
    return statement.integer(0);
}

SqliteDatabase::Statement SqliteDatabase::prepare(const std::string& sql) {
    requireOpen();
    sqlite3_stmt* statement = nullptr;
    const int result = sqlite3_prepare_v2(connection_, sql.c_str(), -1, &statement, nullptr);
    if (result != SQLITE_OK)
        throw Error(result, sqlite3_errmsg(connection_));
    return Statement(statement);
}

void SqliteDatabase::requireOpen() const {
    if (!isOpen())
        throw Error(Error::kWrapperCode, "Database not open");
}
