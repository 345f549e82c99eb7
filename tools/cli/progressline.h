#pragma once

#include <chrono>
#include <cstdint>
#include <string>

/**
 * One line of transfer progress on a terminal (stderr), redrawn in place at most ten times a
 * second: percentage and bar of the current file, the overall rate, and the file's name. Silent
 * when stderr is not a terminal, so scripts and logs see only results and errors.
 */
class ProgressLine {
public:
    ProgressLine();
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool isShown() const { return enabled_; }
    /** A new file; its name is shown until the next. */
    void startFile(const std::string& name);
    /** done of total bytes of the current file, and bytes moved by the whole run so far. */
    void update(int64_t done, int64_t total, int64_t runBytes);
    /** Removes the line, so that a message can be printed in its place. */
    void clear();

private:
    void draw(int64_t done, int64_t total, int64_t runBytes);

    using Clock = std::chrono::steady_clock;
    bool enabled_;
    bool drawn_ = false;
    std::string name_;
    Clock::time_point started_;
    Clock::time_point lastDrawn_;
};
