#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

/**
 * A command's arguments split into single-letter flags ("-l", "-rf"), long options
 * ("--by-month") and operands. "--help" or "-h" asks for the command's help; "--force" stands for
 * -f; "--" ends the flags, so an operand may start with "-".
 */
class CommandArguments {
public:
    /**
     * allowedLongOptions: the long options' names without "--", separated by spaces. Throws
     * UsageError for a flag or long option not allowed.
     */
    CommandArguments(const std::vector<std::string>& arguments, std::string_view allowedFlags,
                     std::string_view allowedLongOptions = {});

    bool has(char flag) const { return flags_.contains(flag); }
    /** Whether the long option of this name (without "--") was given. */
    bool has(std::string_view longOption) const {
        return longOptions_.contains(std::string(longOption));
    }
    bool wantsHelp() const { return help_; }
    const std::vector<std::string>& operands() const { return operands_; }
    /** Throws UsageError unless there are at least least and at most most operands. */
    void requireOperands(size_t least, size_t most) const;

private:
    std::set<char> flags_;
    std::set<std::string> longOptions_;
    std::vector<std::string> operands_;
    bool help_ = false;
};
