#include "transfer/devicefolderdownload.h"

#include <cstdio>
#include <filesystem>
#include <optional>

#include "afc/afcdirectory.h"
#include "afc/localfile.h"
#include "fstree/localname.h"
#include "photos/heicname.h"
#include "transfer/copyconnections.h"
#include "transfer/copyprogressrelay.h"
#include "transfer/heicconversions.h"
#include "transfer/parallelcopies.h"
#include "transfer/transferobserver.h"
#include "values/localpaths.h"
#include "values/nsarray.h"

using ZelboLib::FileSystemNode;

namespace {

// The staged copy of a photo to convert: the copy may replace the empty file that reserved its
// name, and a cancel stops it; its progress is told once the photo is converted.
class StagedPhotoDelegate : public AFCDirectoryDelegate {
public:
    explicit StagedPhotoDelegate(TransferObserver& observer) : observer_(observer) {}

    void willCopyFile(const CZelboString&, const CZelboString&, int64_t) override {}
    void copyProgress(int64_t, int64_t) override {}
    void didCopyFile(const CZelboString&) override {}
    bool isCancelled() override { return observer_.isCancelled(); }
    bool shouldOverwrite(const CZelboString&, CopyTarget) override { return true; }

private:
    TransferObserver& observer_;
};

}  // namespace

bool DeviceFolderDownload::run(const std::shared_ptr<FileSystemNode>& item,
                               const CZelboString& localFolder) {
    std::optional<HeicConversions> conversions;
    if (heicToJpeg_ == HeicToJpeg::Convert)
        conversions.emplace(observer_);
    conversions_ = conversions ? &*conversions : nullptr;
    const bool copied = walk(item, localFolder);
    conversions_ = nullptr;
    return (!conversions || conversions->finish()) && copied;
}

bool DeviceFolderDownload::runFiles(const std::vector<ImportFile>& files) {
    std::optional<HeicConversions> conversions;
    if (heicToJpeg_ == HeicToJpeg::Convert)
        conversions.emplace(observer_);
    conversions_ = conversions ? &*conversions : nullptr;
    const bool copied = walkFiles(files);
    conversions_ = nullptr;
    return (!conversions || conversions->finish()) && copied;
}

bool DeviceFolderDownload::walkFiles(const std::vector<ImportFile>& files) {
    if (files.empty())
        return true;
    const std::shared_ptr<FileSystemNode> first = files.front().node;
    ParallelCopies parallel(observer_, [this, &first] {
        return connections_ ? connections_->open(*first) : first->openAnotherConnection();
    });
    parallel_ = &parallel;
    bool copied = true;
    for (const ImportFile& file : files) {
        if (!downloadItem(*file.node, file.localFolder))
            copied = false;
        parallel.reportEnded();
        if (conversions_ != nullptr)
            conversions_->reportEnded();
        if (observer_.isCancelled()) {
            copied = false;
            break;
        }
    }
    parallel_ = nullptr;
    return parallel.finish() && copied;
}

bool DeviceFolderDownload::walk(const std::shared_ptr<FileSystemNode>& item,
                                const CZelboString& localFolder) {
    if (!item->isDirectory())
        return downloadItem(*item, localFolder, true);
    ParallelCopies parallel(observer_, [this, &item] {
        return connections_ ? connections_->open(*item) : item->openAnotherConnection();
    });
    parallel_ = &parallel;
    const bool copied = downloadItem(*item, localFolder, true);
    parallel_ = nullptr;
    return parallel.finish() && copied;
}

bool DeviceFolderDownload::downloadItem(FileSystemNode& item, const CZelboString& localFolder,
                                        bool picked) {
    if (observer_.isCancelled())
        return false;
    const CZelboString& name = item.name();
    if (!isSafeLocalName(name.view())) {
        observer_.itemFailed(item.displayPath(), u"The name cannot be a local file name");
        return false;
    }
    const CZelboString target = joinLocalPath(localFolder, name);
    if (!item.isDirectory())
        return downloadFile(item, target);
    if (item.isSymbolicLink() && !picked) {
        observer_.itemSkipped(item.displayPath(), u"Link to a folder, not followed");
        return true;
    }
    return downloadFolder(item, target);
}

bool DeviceFolderDownload::downloadFolder(FileSystemNode& folder, const CZelboString& target) {
    if (!createLocalFolders(target)) {
        observer_.itemFailed(folder.displayPath(), u"Can't create local folder");
        return false;
    }
    // Listed afresh: a listing made earlier may miss what arrived since.
    if (listing_ == Listing::Fresh || !folder.childrenLoaded())
        folder.loadChildren();
    const FileSystemNode::NodeList children = folder.children();
    if (children.empty() && listingFailed(folder)) {
        observer_.itemFailed(folder.displayPath(), u"Can't list folder");
        return false;
    }
    bool copied = true;
    for (const auto& child : children) {
        if (!downloadItem(*child, target))
            copied = false;
        if (parallel_ != nullptr)
            parallel_->reportEnded();
        if (conversions_ != nullptr)
            conversions_->reportEnded();
        if (observer_.isCancelled())
            return false;
    }
    return copied;
}

bool DeviceFolderDownload::downloadFile(FileSystemNode& file, const CZelboString& target) {
    std::error_code error;
    const bool targetMissing = std::filesystem::symlink_status(target.toUtf8(), error).type() ==
                               std::filesystem::file_type::not_found;
    if (conversions_ != nullptr && HeicName::isHeic(file.name()) && !file.isSymbolicLink())
        return downloadForConversion(file, target);
    const int64_t modified = file.modificationTime();
    const std::optional<int64_t> modificationTime =
        modified > 0 ? std::optional(modified) : std::nullopt;
    if (parallel_ != nullptr && targetMissing && !file.isSymbolicLink() &&
        parallel_->take({true, file.fullPath(), target, file.displayPath(), target, file.fileSize(),
                         modificationTime}))
        return true;
    observer_.fileStarted(file.displayPath(), target, file.fileSize());
    if (modified > 0)
        observer_.fileDeviceTime(modified);
    const std::shared_ptr<AFCDirectory> connection =
        connections_ ? connections_->forWalk(file) : file.directory();
    if (!connection) {
        observer_.itemFailed(file.displayPath(), u"Connection is not open");
        return false;
    }
    CopyProgressRelay relay(observer_);
    if (!connection->copyFileFromDevice(file.fullPath(), target, &relay, modificationTime)) {
        const CZelboString reason = connection->errorText();
        observer_.itemFailed(file.displayPath(), reason.isEmpty() ? u"Copy failed" : reason);
        return false;
    }
    observer_.fileFinished(file.displayPath(), target);
    return true;
}

bool DeviceFolderDownload::downloadForConversion(FileSystemNode& file, const CZelboString& target) {
    const CZelboString jpegTarget = HeicName::jpegOf(target);
    bool isFolder = false;
    if (localPathExists(jpegTarget, isFolder)) {
        observer_.fileStarted(file.displayPath(), jpegTarget, file.fileSize());
        if (isFolder) {
            observer_.itemFailed(file.displayPath(), u"A folder of that name is in the way");
            return false;
        }
        if (!observer_.shouldOverwrite(jpegTarget, CopyTarget::Computer)) {
            observer_.itemFailed(file.displayPath(), u"Won't overwrite existing file");
            return false;
        }
    }
    const std::shared_ptr<AFCDirectory> connection =
        connections_ ? connections_->forWalk(file) : file.directory();
    // Reserves a name of its own beside the targets; the copy replaces it whole.
    LocalFile reserved = LocalFile::createBeside(jpegTarget);
    const CZelboString staged = CZelboString::fromUtf8(reserved.path());
    const bool reservedOpen = reserved.isOpen() && reserved.close();
    StagedPhotoDelegate delegate(observer_);
    const int64_t modified = file.modificationTime();
    CZelboString failure;
    if (!connection)
        failure = u"Connection is not open";
    else if (!reservedOpen)
        failure = u"Can't create output file";
    else if (!connection->copyFileFromDevice(file.fullPath(), staged, &delegate,
                                             modified > 0 ? std::optional(modified) : std::nullopt))
        failure = connection->errorText().isEmpty() ? CZelboString(u"Copy failed")
                                                    : connection->errorText();
    if (!failure.isEmpty()) {
        if (!staged.isEmpty())
            std::remove(reserved.path().c_str());
        observer_.fileStarted(file.displayPath(), jpegTarget, file.fileSize());
        observer_.itemFailed(file.displayPath(), failure);
        return false;
    }
    conversions_->take({file.displayPath(), staged, jpegTarget, target, file.fileSize(),
                        modified > 0 ? modified : 0});
    return true;
}

bool DeviceFolderDownload::listingFailed(FileSystemNode& folder) {
    // The device node and "Applications" list without AFC; their listings cannot fail this way.
    if (!folder.isInsideArea())
        return false;
    // Inside an area a missing connection (an app container that cannot be reopened) is a
    // failure, not an empty folder.
    const std::shared_ptr<AFCDirectory> connection = folder.directory();
    return !connection || !connection->listDirectory(folder.fullPath());
}
