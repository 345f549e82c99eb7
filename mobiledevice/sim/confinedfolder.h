#ifndef PLOVIK_SIM_CONFINEDFOLDER_H
#define PLOVIK_SIM_CONFINEDFOLDER_H

#include "uniquefd.h"

#include <deque>
#include <string>
#include <string_view>

namespace plovik::sim {

// Whether the last component of a path is followed when it is a symbolic link.
enum class FinalLink { Follow, Keep };

// Where a device path leads inside a served folder.
struct ResolvedEntry {
    UniqueFd parent;         // O_PATH descriptor of the folder holding the entry
    std::string name;        // the entry's name in parent; empty for the served folder itself
    std::string devicePath;  // the entry's path with links and ".." resolved; "/" for the root
    bool exists = false;     // false: parent exists, name does not (yet)
    bool atTop = false;      // the entry lies directly in the served folder
};

// A host folder served as the device path "/". Paths are resolved one component at a time from
// descriptors, never by handing a path to the kernel, so nothing reaches outside the folder:
// ".." above the root is refused, and so are symbolic links with an absolute target (a host
// path) and relative ones leading out. Every entry is opened with O_NOFOLLOW, so a component
// swapped for a link while a path is being walked makes the call fail instead of escaping.
class ConfinedFolder {
public:
    // onlyEntry, when not empty, is the one top-level entry the view exposes: everything else at
    // the top is out of reach (house arrest's documents view).
    ConfinedFolder(UniqueFd root, std::string onlyEntry);

    // Resolves path; an AFC result. Success with exists false means the parent folder exists.
    int resolve(const char* path, FinalLink finalLink, ResolvedEntry& entry) const;

    // Creates the folder and its missing parents, as a device does; an AFC result.
    int makeDirectories(const char* path) const;

    // Whether a name listed in the root is out of this view.
    bool hidesTopLevelName(std::string_view name) const;

    // The exposed entry of a restricted view, which cannot be removed or renamed.
    bool isViewAnchor(const ResolvedEntry& entry) const;

    // The device path a link at linkPath with this target leads to, or the target unchanged
    // when it is absolute or leads out of the folder.
    static std::string linkTargetDevicePath(const std::string& linkPath, const std::string& target);

private:
    // The folders of a plain path opened in one call, beneath the root and through no link;
    // false leaves a link, "..", a restricted view or a kernel without openat2 to the walk.
    bool resolvedAtOnce(const std::deque<std::string>& components, FinalLink finalLink,
                        ResolvedEntry& entry) const;

    UniqueFd root_;
    std::string onlyEntry_;
};

}  // namespace plovik::sim

#endif
