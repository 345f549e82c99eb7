#pragma once

#include <atomic>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>

#include "values/zelbostring.h"

/**
 * The program's diagnostic log: "nakt.log" in the user's cache folder, appended across runs. Each
 * write is one UTF-8 line: the time in UTC (timeText), " - ", the message cut at kMaxMessageUnits
 * UTF-16 units, CR LF. While the log is not open writes do nothing, so a log that cannot be opened
 * turns logging off and nothing else.
 *
 * Every call may come from any thread; closeAfterCrash also from a signal handler.
 */
class Log {
public:
    static constexpr int kMaxMessageUnits = 1023;

    /** The program's log. */
    static Log& instance();

    Log() = default;
    ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    /**
     * Opens the log file for appending, creating it (user-only) and its folder when missing. A
     * link, folder or anything but a plain file in its place is not opened. Does nothing while the
     * log is open. True when the log is open afterwards.
     */
    bool open();
    void close();
    bool isOpen() const;
    /** The log file's path as named by the last open; empty before. */
    std::filesystem::path path() const;

    void write(const CZelboString& message);
    /** Writes the message formatted with CZelboString::format's rules. */
    template <typename... Args>
    void format(const char16_t* formatText, const Args&... args) {
        CZelboString message;
        message.format(formatText, args...);
        write(message);
    }

    /**
     * Closes the file without taking the lock, for a crash handler: the process is ending, and a
     * write racing with it may be lost. Later writes do nothing.
     */
    void closeAfterCrash() noexcept;

    /**
     * time in UTC as each line starts: the user's locale's date-and-time representation (strftime
     * "%c" under LC_TIME from the environment), at most 259 characters, in UTF-8.
     */
    static std::string timeText(std::time_t time);

private:
    static_assert(std::atomic<int>::is_always_lock_free, "closeAfterCrash must be signal-safe");

    mutable std::mutex mutex_;
    std::atomic<int> descriptor_{-1};
    std::filesystem::path path_;
};
