#pragma once

#include <span>
#include <string_view>

class CommandArguments;
class DeviceSession;

/** One command of plovik-cli: its name, help texts, flags and what it does. */
struct Command {
    std::string_view name;
    std::string_view operands;  // as the usage line shows them: "[-l] [PATH]"
    std::string_view summary;
    std::string_view details;  // the flags and anything else --help should say
    std::string_view flags;    // the single-letter flags it takes
    /** Runs the command; the exit code. Throws CommandFailure or UsageError. */
    int (*run)(DeviceSession& session, const CommandArguments& arguments);
    std::string_view longOptions = {};  // its long options without "--", separated by spaces
};

std::span<const Command> allCommands();
/** The command named name, or null. */
const Command* findCommand(std::string_view name);

int runDevices(DeviceSession& session, const CommandArguments& arguments);
int runInfo(DeviceSession& session, const CommandArguments& arguments);
int runApps(DeviceSession& session, const CommandArguments& arguments);
int runList(DeviceSession& session, const CommandArguments& arguments);
int runPull(DeviceSession& session, const CommandArguments& arguments);
int runPush(DeviceSession& session, const CommandArguments& arguments);
int runImport(DeviceSession& session, const CommandArguments& arguments);
int runRemove(DeviceSession& session, const CommandArguments& arguments);
int runMakeFolder(DeviceSession& session, const CommandArguments& arguments);
int runMove(DeviceSession& session, const CommandArguments& arguments);
