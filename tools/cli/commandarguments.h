#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

/**
 * A command's arguments split into single-letter flags ("-l", "-rf") and operands. "--help" or
 * "-h" asks for the command's help; "--force" stands for -f; "--" ends the flags, so an operand
 * may start with "-".
 */
class CommandArguments {
public:
    /** Throws UsageError for a flag outside allowedFlags. */
    CommandArguments(const std::vector<std::string>& arguments, std::string_view allowedFlags);

    bool has(char flag) const { return flags_.contains(flag); }
    bool wantsHelp() const { return help_; }
    const std::vector<std::string>& operands() const { return operands_; }
    /** Throws UsageError unless there are at least least and at most most operands. */
    void requireOperands(size_t least, size_t most) const;

private:
    std::set<char> flags_;
    std::vector<std::string> operands_;
    bool help_ = false;
};
