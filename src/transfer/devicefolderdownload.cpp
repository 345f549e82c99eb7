#include "transfer/devicefolderdownload.h"

#include <filesystem>

#include "afc/afcdirectory.h"
#include "fstree/localname.h"
#include "transfer/copyconnections.h"
#include "transfer/copyprogressrelay.h"
#include "transfer/parallelcopies.h"
#include "transfer/transferobserver.h"
#include "values/localpaths.h"
#include "values/nsarray.h"

using ZelboLib::FileSystemNode;

bool DeviceFolderDownload::run(const std::shared_ptr<FileSystemNode>& item,
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
        if (observer_.isCancelled())
            return false;
    }
    return copied;
}

bool DeviceFolderDownload::downloadFile(FileSystemNode& file, const CZelboString& target) {
    std::error_code error;
    const bool targetMissing = std::filesystem::symlink_status(target.toUtf8(), error).type() ==
                               std::filesystem::file_type::not_found;
    const int64_t modified = file.modificationTime();
    const std::optional<int64_t> modificationTime =
        modified > 0 ? std::optional(modified) : std::nullopt;
    if (parallel_ != nullptr && targetMissing && !file.isSymbolicLink() &&
        parallel_->take({true, file.fullPath(), target, file.displayPath(), target, file.fileSize(),
                         modificationTime}))
        return true;
    observer_.fileStarted(file.displayPath(), target, file.fileSize());
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

bool DeviceFolderDownload::listingFailed(FileSystemNode& folder) {
    // The device node and "Applications" list without AFC; their listings cannot fail this way.
    if (!folder.isInsideArea())
        return false;
    // Inside an area a missing connection (an app container that cannot be reopened) is a
    // failure, not an empty folder.
    const std::shared_ptr<AFCDirectory> connection = folder.directory();
    return !connection || !connection->listDirectory(folder.fullPath());
}
