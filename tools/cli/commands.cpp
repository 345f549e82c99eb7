#include "commands.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array kCommands = {
    Command{"devices", "", "List the attached devices, locked and untrusted ones too.",
            "Columns: identifier, name, product type, iOS version, state.", "", runDevices},
    Command{"info", "", "Show the device's properties.", "", "", runInfo},
    Command{"apps", "", "List the installed user apps.", "Columns: bundle identifier, name.", "",
            runApps},
    Command{"ls", "[-l] [PATH]", "List a device folder (default /).",
            "  -l  long listing: type, size in bytes, modification time, name", "l", runList},
    Command{"pull", "[-f] DEVICEPATH... LOCALDIR",
            "Copy device files and folders into a local folder (made when missing).",
            "  -f  replace local files that exist (they are kept otherwise)\n"
            "Links to folders are not followed.",
            "f", runPull},
    Command{"push", "[-f] LOCALPATH... DEVICEDIR",
            "Copy local files and folders into a device folder (made when missing).",
            "  -f  replace device files that exist (they are kept otherwise)\n"
            "Links to folders are not followed.",
            "f", runPush},
    Command{"rm", "[-r] PATH...", "Remove device files, links and empty folders.",
            "  -r  remove folders with everything in them (links are removed, never followed)", "r",
            runRemove},
    Command{"mkdir", "PATH...", "Create device folders (their parents must exist).", "", "",
            runMakeFolder},
    Command{"mv", "FROM TO", "Rename or move an item within one area of the device.",
            "TO may be an existing folder, which then receives the item. Existing items are "
            "never replaced.",
            "", runMove},
};

}  // namespace

std::span<const Command> allCommands() {
    return kCommands;
}

const Command* findCommand(std::string_view name) {
    const auto found = std::find_if(kCommands.begin(), kCommands.end(),
                                    [&](const Command& command) { return command.name == name; });
    return found == kCommands.end() ? nullptr : &*found;
}
