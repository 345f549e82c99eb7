#include "commandarguments.h"

#include "commandfailure.h"

namespace {

bool listed(std::string_view names, std::string_view name) {
    while (!names.empty()) {
        const size_t end = names.find(' ');
        if (names.substr(0, end) == name)
            return true;
        names = end == std::string_view::npos ? std::string_view() : names.substr(end + 1);
    }
    return false;
}

}  // namespace

CommandArguments::CommandArguments(const std::vector<std::string>& arguments,
                                   std::string_view allowedFlags,
                                   std::string_view allowedLongOptions) {
    bool flagsEnded = false;
    for (const std::string& argument : arguments) {
        if (flagsEnded || argument.size() < 2 || argument[0] != '-') {
            operands_.push_back(argument);
        } else if (argument == "--") {
            flagsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            help_ = true;
        } else if (argument[1] == '-') {
            // "--force" is -f where -f is allowed.
            if (argument == "--force" && allowedFlags.find('f') != std::string_view::npos)
                flags_.insert('f');
            else if (listed(allowedLongOptions, std::string_view(argument).substr(2)))
                longOptions_.insert(argument.substr(2));
            else
                throw UsageError("unknown option " + argument);
        } else {
            for (const char flag : std::string_view(argument).substr(1)) {
                if (allowedFlags.find(flag) == std::string_view::npos)
                    throw UsageError(std::string("unknown option -") + flag);
                flags_.insert(flag);
            }
        }
    }
}

void CommandArguments::requireOperands(size_t least, size_t most) const {
    if (operands_.size() < least)
        throw UsageError("missing operand");
    if (operands_.size() > most)
        throw UsageError("too many operands");
}
