#pragma once

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "fstree/filesystemnode.h"
#include "values/zelbostring.h"

class AFCDirectory;
class CopyConnections;
class ParallelCopies;
class TransferObserver;

/**
 * Copies a local file, or a local folder with everything in it, into a device folder under its
 * own name, creating the device's folders as it walks (empty ones too). Folder entries go in name
 * order. The item itself, when it is a link to a folder, is copied as that folder; links to
 * folders inside are skipped, never descended (a link may lead back up the tree). A link to a file
 * is copied as the file's contents. Anything that is neither a regular file nor a
 * folder (a FIFO would block the copy forever) fails. Each file is staged on the device and takes
 * its name only when every byte arrived.
 *
 * In a folder's upload, small files whose name the device folder does not hold yet (in any letter
 * case) are copied on connections of their own (ParallelCopies) and reported as they end; the
 * others are copied on the walk's thread, where an existing target is asked about. Given
 * CopyConnections, everything is done on the run's connections; else on the target folder's own
 * connection and new ones.
 */
class LocalFolderUpload {
public:
    explicit LocalFolderUpload(TransferObserver& observer, CopyConnections* connections = nullptr)
        : observer_(observer), connections_(connections) {}

    /**
     * Copies the item at localPath into targetFolder. True when every file and folder arrived
     * (skipped links do not count against it); false after any failure or a cancel.
     */
    bool run(const CZelboString& localPath,
             const std::shared_ptr<ZelboLib::FileSystemNode>& targetFolder);

private:
    /** Where an item goes: its device path for AFC and its display path for the observer. */
    struct DevicePlace {
        CZelboString path;
        CZelboString displayPath;
        DevicePlace child(const CZelboString& name) const;
    };

    /** The names a device folder holds, letter case folded. */
    using Names = std::set<std::u16string>;

    /** picked: the item the walk was given, followed when it is a link to a folder. */
    bool uploadItem(AFCDirectory& connection, const std::filesystem::path& item,
                    const DevicePlace& folder, const Names* namesInFolder, bool picked = false);
    bool uploadFolder(AFCDirectory& connection, const std::filesystem::path& item,
                      const DevicePlace& target);
    bool uploadFile(AFCDirectory& connection, const std::filesystem::path& item,
                    const DevicePlace& target, bool targetIsNew);

    TransferObserver& observer_;
    CopyConnections* connections_;
    // While a folder is uploaded.
    ParallelCopies* parallel_ = nullptr;
};
