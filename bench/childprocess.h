#pragma once

// A program a benchmark runs: extra environment variables, output sent to files, and a wait that
// gives way to an interruption (the child is ended, then Interrupted is thrown) unless it is part
// of the cleanup. A child still running when its object goes is ended and reaped.

#include <sys/types.h>

#include <string>
#include <vector>

class ChildProcess {
public:
    enum class OnInterruption { EndChild, KeepWaiting };

    struct Options {
        /** NAME=VALUE entries that override the benchmark's own environment. */
        std::vector<std::string> environment;
        std::string outputFile = "/dev/null";
        std::string errorFile = "/dev/null";
        OnInterruption onInterruption = OnInterruption::EndChild;
    };

    /** Starts arguments[0], looked up in PATH; throws std::runtime_error when it cannot. */
    ChildProcess(const std::vector<std::string>& arguments, const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    /** Runs to the end: the exit code, 128 + the signal for one that was killed. */
    static int run(const std::vector<std::string>& arguments, const Options& options);

    /** The exit code as run() gives it. */
    int wait();
    /** SIGTERM, then the exit code. */
    int terminate();
    /** Sends signal and goes on. */
    void signal(int number) const;

private:
    pid_t pid_ = -1;
    OnInterruption onInterruption_;
};
