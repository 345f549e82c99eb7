#pragma once

#include <string_view>

class Log;

/**
 * Writes a crash report when the process receives a fatal signal (SIGSEGV, SIGBUS, SIGFPE,
 * SIGILL, SIGABRT): it closes the log, then creates the folder
 * "crashes/<seconds since 1970>-<process id>" in the user's cache folder holding "backtrace.txt"
 * (the program's title, the signal, the faulting address and the stack) and "app.log", a copy of
 * the log. The signal's default action then ends the process, so its exit status still tells of
 * the crash.
 *
 * Everything the handler needs is prepared when it is installed; the handler itself calls only
 * async-signal-safe functions (and backtrace, loaded at installation). It runs on an alternate
 * stack for the installing thread, so a stack overflow there is reported too.
 *
 * One handler per process: while one is installed, constructing another installs nothing.
 */
class CrashHandler {
public:
    /**
     * Installs the handler, copying log's file (as named by its last open) into reports. title
     * (the program's name and version) heads each report.
     */
    CrashHandler(Log& log, std::string_view title);
    /** Puts back the signal actions and alternate stack found at installation. */
    ~CrashHandler();
    CrashHandler(const CrashHandler&) = delete;
    CrashHandler& operator=(const CrashHandler&) = delete;

    /** False when no report folder could be made or another handler is installed. */
    bool isInstalled() const { return installed_; }

private:
    bool installed_ = false;
};
