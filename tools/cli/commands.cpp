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
    Command{"ls", "[-l] [PATH]", "List a device folder (default /): names in the device's order.",
            "  -l  long listing, folders first: type, size in bytes, modification time, name", "l",
            runList},
    Command{"pull", "[-f] [--heic-to-jpeg] DEVICEPATH... LOCALDIR",
            "Copy device files and folders into a local folder (made when missing).",
            "  -f  replace local files that exist (they are kept otherwise)\n"
            "  --heic-to-jpeg  write each .HEIC/.HEIF photo as a .JPG (upright, its Exif kept);\n"
            "      one that cannot be converted is copied as it is, and a line says so\n"
            "A link to a folder is followed when it is named, never inside a folder.",
            "f", runPull, "heic-to-jpeg"},
    Command{"import", "[-f] [--by-month] [--all] [--heic-to-jpeg] LOCALDIR",
            "Copy the camera roll's photos and videos not copied from this device before.",
            "  -f  replace local files that exist (they are kept otherwise)\n"
            "  --by-month  into LOCALDIR/YYYY/MM by the date each photo was taken (its Exif;\n"
            "      the file's time for videos and photos without one)\n"
            "  --all  import all again, also what was copied before\n"
            "  --heic-to-jpeg  write each .HEIC/.HEIF photo as a .JPG, as pull does\n"
            "What was copied before is known from the transfer history the window keeps too: the\n"
            "same device, path, size and modification time. A Live Photo's .HEIC/.JPG and .MOV\n"
            "go together. The last line on stdout counts what was found, new, copied and skipped.",
            "f", runImport, "by-month all heic-to-jpeg"},
    Command{"push", "[-f] LOCALPATH... DEVICEDIR",
            "Copy local files and folders into a device folder (made when missing).",
            "  -f  replace device files that exist (they are kept otherwise)\n"
            "A link to a folder is followed when it is named, never inside a folder. Files copied\n"
            "into the camera roll (/Media/DCIM) do not show in the phone's Photos app.",
            "f", runPush},
    Command{"rm", "[-r] [-f] PATH...", "Remove device files, links and empty folders.",
            "  -r  remove folders with everything in them (links are removed, never followed)\n"
            "  -f, --force  remove in the camera roll (/Media/DCIM) too: the phone's Photos app\n"
            "      keeps its own library, where the photos may stay and keep their space",
            "rf", runRemove},
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
