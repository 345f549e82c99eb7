#pragma once

#include <stdexcept>

/** A command that cannot go on; its text is the one line the user sees. Exit code 1. */
class CommandFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/** Arguments the command does not take; the user sees the text and the usage. Exit code 2. */
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
