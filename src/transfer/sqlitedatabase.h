#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

/**
 * A connection to one SQLite database file, with only what the transfer history needs. Every
 * failure is thrown as SqliteDatabase::Error. Closing is safe at any time and the connection may
 * be opened again.
 */
class SqliteDatabase {
public:
    /**
     * An error of SQLite or of this wrapper, its message naming the result code, the code and
     * SQLite's text: "SQLITE_BUSY[5]: database is locked".
     */
    class Error : public std::runtime_error {
    public:
        /** The code of this wrapper's own errors ("Database not open", ...). */
        static constexpr int kWrapperCode = 1000;

        Error(int code, const std::string& message);
        int code() const { return code_; }

    private:
        int code_;
    };

    /** A prepared statement; bound parameters count from 1, result columns from 0. */
    class Statement {
    public:
        Statement(Statement&& other) noexcept;
        Statement& operator=(Statement&&) = delete;
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;
        ~Statement();

        void bind(int parameter, int value);
        void bind(int parameter, int64_t value);
        void bindNull(int parameter);
        /** Binds UTF-8 text. */
        void bind(int parameter, const std::string& text);
        /** Runs to the next result row: true with a row, false when the statement is done. */
        bool step();

        bool isInteger(int column) const;
        bool isNull(int column) const;
        /** The column as an integer; null gives 0. */
        int integer(int column) const;
        int64_t integer64(int column) const;
        /** The column as UTF-8 text; null gives "". */
        std::string text(int column) const;

    private:
        friend class SqliteDatabase;
        explicit Statement(sqlite3_stmt* statement) : statement_(statement) {}
        void check(int result) const;

        sqlite3_stmt* statement_;
    };

    SqliteDatabase() = default;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;
    ~SqliteDatabase();

    /**
     * Opens the file at the UTF-8 path for reading and writing, creating it when missing, and sets
     * the busy timeout. A file that SQLite could open for reading only is refused with
     * SQLITE_READONLY. Any earlier connection is closed first.
     */
    void open(const std::string& path, int busyTimeoutMs);
    void close() noexcept;
    bool isOpen() const { return connection_ != nullptr; }
    /** A transaction begun with BEGIN is still open (neither committed nor rolled back). */
    bool inTransaction() const;

    /** Runs statements that return no rows. */
    void execute(const std::string& sql);
    /** The first column of the first row, which must be there. */
    int queryInteger(const std::string& sql);
    Statement prepare(const std::string& sql);

private:
    void requireOpen() const;

    sqlite3* connection_ = nullptr;
};
