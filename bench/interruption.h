#pragma once

// Ctrl-C, SIGTERM and SIGHUP end a benchmark through its cleanup instead of at once: they only
// note the request, which the benchmark's waits check.

#include <stdexcept>

class Interrupted : public std::runtime_error {
public:
    Interrupted() : std::runtime_error("interrupted") {}
};

class Interruption {
public:
    /** Handles the signals from now on; interrupted system calls return EINTR. */
    static void install();
    static bool requested();
    /** Throws Interrupted when one was requested. */
    static void check();
};
