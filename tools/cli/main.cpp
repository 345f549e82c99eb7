// plovik-cli: the core on the command line, for scripts and for measuring.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "commandarguments.h"
#include "commandfailure.h"
#include "commands.h"
#include "devicesession.h"
#include "errorline.h"

namespace {

constexpr int kUsageExit = 2;

void printUsage(std::FILE* out) {
    std::fprintf(out,
                 "usage: plovik-cli [--demo] [--sim FOLDER]... [--device UDID] COMMAND [ARGS]\n"
                 "\n"
                 "  --demo          attach the demo device (a simulated device)\n"
                 "  --sim FOLDER    attach a simulated device made from FOLDER (repeatable)\n"
                 "  --device UDID   the device to work on when several are attached\n"
                 "\n"
                 "Device paths are written as the tree shows them: /Media/DCIM, /Root/...,\n"
                 "/Applications/<app name>/...\n"
                 "\n"
                 "Commands (plovik-cli COMMAND --help for more):\n");
    for (const Command& command : allCommands()) {
        std::fprintf(out, "  %-7s %s\n", std::string(command.name).c_str(),
                     std::string(command.summary).c_str());
    }
}

void printCommandHelp(const Command& command) {
    std::printf("usage: plovik-cli [GLOBAL OPTIONS] %s %s\n\n%s\n",
                std::string(command.name).c_str(), std::string(command.operands).c_str(),
                std::string(command.summary).c_str());
    if (!command.details.empty())
        std::printf("%s\n", std::string(command.details).c_str());
}

struct Invocation {
    SessionOptions session;
    std::string command;
    std::vector<std::string> arguments;
    bool help = false;
};

Invocation parseGlobalOptions(int argc, char** argv) {
    Invocation invocation;
    int index = 1;
    for (; index < argc; ++index) {
        const std::string_view option = argv[index];
        const bool takesValue = option == "--sim" || option == "--device";
        if (takesValue && index + 1 >= argc)
            throw UsageError(std::string(option) + " needs a value");
        if (option == "--demo") {
            invocation.session.demo = true;
        } else if (option == "--sim") {
            invocation.session.simulatedFolders.emplace_back(argv[++index]);
        } else if (option == "--device") {
            invocation.session.udid = argv[++index];
        } else if (option == "--help" || option == "-h") {
            invocation.help = true;
        } else if (option.starts_with("-")) {
            throw UsageError("unknown option " + std::string(option));
        } else {
            break;
        }
    }
    if (index < argc)
        invocation.command = argv[index++];
    invocation.arguments.assign(argv + index, argv + argc);
    return invocation;
}

}  // namespace

int main(int argc, char** argv) {
    Invocation invocation;
    try {
        invocation = parseGlobalOptions(argc, argv);
    } catch (const UsageError& error) {
        printError({}, error.what());
        printUsage(stderr);
        return kUsageExit;
    }
    if (invocation.command.empty()) {
        printUsage(invocation.help ? stdout : stderr);
        return invocation.help ? 0 : kUsageExit;
    }
    const Command* command = findCommand(invocation.command);
    if (command == nullptr) {
        printError({}, "unknown command " + invocation.command);
        printUsage(stderr);
        return kUsageExit;
    }
    try {
        const CommandArguments arguments(invocation.arguments, command->flags,
                                         command->longOptions);
        if (arguments.wantsHelp()) {
            printCommandHelp(*command);
            return 0;
        }
        DeviceSession session(invocation.session);
        return command->run(session, arguments);
    } catch (const UsageError& error) {
        printError(command->name, error.what());
        std::fprintf(stderr, "usage: plovik-cli %s %s\n", std::string(command->name).c_str(),
                     std::string(command->operands).c_str());
        return kUsageExit;
    } catch (const CommandFailure& failure) {
        printError(command->name, failure.what());
        return 1;
    }
}
