#ifndef PLOVIK_SIM_AFCCONNECTION_H
#define PLOVIK_SIM_AFCCONNECTION_H

#include "confinedfolder.h"
#include "handletable.h"
#include "openfile.h"
#include "simcontrols.h"
#include "simdevice.h"

#include "device/mobiledevice.h"

#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

namespace plovik::sim {

// One AFC connection: the file operations of a device on a served folder, and the files opened
// through it. Results are AFC codes; every call fails with kAfcDeviceGone once the device is
// removed or the service connection it was opened on is cut. Safe to use from several threads
// at once.
class AfcConnection {
public:
    AfcConnection(std::shared_ptr<SimDevice> device, std::shared_ptr<const ConfinedFolder> folder,
                  std::stop_token cut, const SimControls& controls);

    // ".", ".." and then the names in the folder, sorted.
    int listDirectory(const char* path, std::vector<std::string>& names) const;
    // Alternating keys and values, as a device sends them.
    int fileInfo(const char* path, std::vector<std::string>& pairs) const;
    int makeDirectory(const char* path) const;
    // One file, link or empty folder.
    int removePath(const char* path) const;
    int renamePath(const char* from, const char* to) const;
    // A link's own time, never its target's.
    int setFileTime(const char* path, uint64_t nanoseconds) const;

    int openFile(const char* path, uint64_t mode, AFCFileRef& file);
    // The open file behind a reference, or null with the reason in result.
    std::shared_ptr<OpenFile> findFile(AFCFileRef file, int& result) const;
    int closeFile(AFCFileRef file);
    // Before a file read or write (kPlovikSimFileData) or a removal (kPlovikSimRemovals): waits
    // while the operation is stalled; kAfcDeviceGone once the connection is cut or the device
    // removed.
    int awaitFileOperation(int operation) const;

private:
    int checkDevice() const;
    // The entry at path, its final link kept; kAfcObjectNotFound when nothing is there.
    int existingEntry(const char* path, ResolvedEntry& entry) const;

    std::shared_ptr<SimDevice> device_;
    std::shared_ptr<const ConfinedFolder> folder_;
    std::stop_token cut_;
    const SimControls& controls_;
    HandleTable<OpenFile, AFCFileRef> files_;
};

}  // namespace plovik::sim

#endif
