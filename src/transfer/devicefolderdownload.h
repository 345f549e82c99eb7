#pragma once

#include <memory>

#include "fstree/filesystemnode.h"
#include "transfer/transferjob.h"
#include "values/zelbostring.h"

class CopyConnections;
class HeicConversions;
class ParallelCopies;
class TransferObserver;

/**
 * Copies a device item into a local folder under the item's own name: a file, or a folder with
 * everything in it, its sub-folders recreated locally (empty ones too).
 *
 * Names from the device become local path components only when isSafeLocalName accepts them; an
 * item with any other name fails and the walk goes on, so nothing is ever written outside the
 * chosen folder. The item itself, when it is a link to a folder, is copied as that folder; links to
 * folders inside are skipped, never descended (links under "Root" may form cycles). A link to a
 * file is copied as the file's contents. A file counts as copied only when
 * every byte arrived: the copy stages it beside its target and renames it into place.
 *
 * In a folder's download, small files whose local target does not exist yet are copied on
 * connections of their own (ParallelCopies) and reported as they end; the others are copied on
 * the walk's thread, where an existing target is asked about. Given CopyConnections, every file
 * is copied on the run's connections; else on the item's own connection and new ones.
 *
 * With HeicToJpeg::Convert, each .HEIC or .HEIF file arrives as a .JPG beside where it would go
 * (HeicConversions, converting while the next files arrive); the overwrite question is asked of
 * the JPEG's name. A photo that cannot be converted arrives as it is.
 */
class DeviceFolderDownload {
public:
    /** How folders are listed: afresh, or as a walk just before listed them (AsListed). */
    enum class Listing { Fresh, AsListed };

    explicit DeviceFolderDownload(TransferObserver& observer, Listing listing = Listing::Fresh,
                                  CopyConnections* connections = nullptr)
        : observer_(observer), listing_(listing), connections_(connections) {}

    /**
     * Copies item into localFolder, which must exist. True when every file and folder arrived
     * (skipped links do not count against it); false after any failure or a cancel.
     */
    bool run(const std::shared_ptr<ZelboLib::FileSystemNode>& item,
             const CZelboString& localFolder);
    /**
     * Copies each file into its own local folder, which must exist, as one walk (its small files
     * and its conversions overlapping as in a folder's). True when every file arrived.
     */
    bool runFiles(const std::vector<ImportFile>& files);
    void setHeicToJpeg(HeicToJpeg heicToJpeg) { heicToJpeg_ = heicToJpeg; }

private:
    bool walk(const std::shared_ptr<ZelboLib::FileSystemNode>& item,
              const CZelboString& localFolder);
    bool walkFiles(const std::vector<ImportFile>& files);
    /** picked: the item the walk was given, followed when it is a link to a folder. */
    bool downloadItem(ZelboLib::FileSystemNode& item, const CZelboString& localFolder,
                      bool picked = false);
    bool downloadFolder(ZelboLib::FileSystemNode& folder, const CZelboString& target);
    bool downloadFile(ZelboLib::FileSystemNode& file, const CZelboString& target);
    /** Fetches a HEIC photo into a staged file and hands it to the conversions. */
    bool downloadForConversion(ZelboLib::FileSystemNode& file, const CZelboString& target);
    /** An empty listing that was really a failed one (a folder the device will not open). */
    bool listingFailed(ZelboLib::FileSystemNode& folder);

    TransferObserver& observer_;
    Listing listing_;
    CopyConnections* connections_;
    HeicToJpeg heicToJpeg_ = HeicToJpeg::Keep;
    // While a folder is downloaded.
    ParallelCopies* parallel_ = nullptr;
    // While a run converts.
    HeicConversions* conversions_ = nullptr;
};
