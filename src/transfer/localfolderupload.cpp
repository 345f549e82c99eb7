#include "transfer/localfolderupload.h"

#include <algorithm>
#include <vector>

#include "afc/afcdirectory.h"
#include "fstree/devicepath.h"
#include "fstree/localname.h"
#include "transfer/copyconnections.h"
#include "transfer/copyprogressrelay.h"
#include "transfer/parallelcopies.h"
#include "transfer/transferobserver.h"
#include "values/cautostring.h"
#include "values/nsarray.h"
#include "values/unicode.h"

namespace fs = std::filesystem;
using ZelboLib::FileSystemNode;

namespace {

CZelboString textOf(const fs::path& path) {
    return CZelboString::fromUtf8(path.native());
}

// Device file systems may ignore case: "IMG_1.JPG" and "img_1.jpg" count as one name.
std::u16string foldedName(const CZelboString& name) {
    return asciiLowerCase(name.view());
}

}  // namespace

LocalFolderUpload::DevicePlace LocalFolderUpload::DevicePlace::child(
    const CZelboString& name) const {
    return {joinDevicePath(path, name), joinDevicePath(displayPath, name)};
}

bool LocalFolderUpload::run(const CZelboString& localPath,
                            const std::shared_ptr<FileSystemNode>& targetFolder) {
    // "photos/", "photos/." and "../photos" all name the folder "photos".
    std::error_code error;
    fs::path item = fs::absolute(fs::path(localPath.toUtf8()), error).lexically_normal();
    if (!item.has_filename())
        item = item.parent_path();
    const std::shared_ptr<AFCDirectory> connection =
        connections_ ? connections_->forWalk(*targetFolder) : targetFolder->directory();
    if (!connection) {
        observer_.itemFailed(localPath, u"The device folder cannot be reached");
        return false;
    }
    const DevicePlace place{targetFolder->fullPath(), targetFolder->displayPath()};
    if (!fs::is_directory(item, error))
        return uploadItem(*connection, item, place, nullptr, true);
    ParallelCopies parallel(observer_, [this, &targetFolder] {
        return connections_ ? connections_->open(*targetFolder)
                            : targetFolder->openAnotherConnection();
    });
    parallel_ = &parallel;
    const bool copied = uploadItem(*connection, item, place, nullptr, true);
    parallel_ = nullptr;
    return parallel.finish() && copied;
}

bool LocalFolderUpload::uploadItem(AFCDirectory& connection, const fs::path& item,
                                   const DevicePlace& folder, const Names* namesInFolder,
                                   bool picked) {
    if (observer_.isCancelled())
        return false;
    const CZelboString name = textOf(item.filename());
    if (!isSafeLocalName(name.view())) {
        observer_.itemFailed(textOf(item), u"Not a file or folder that can be copied");
        return false;
    }
    const DevicePlace target = folder.child(name);
    std::error_code error;
    const fs::file_status status = fs::status(item, error);
    if (fs::is_directory(status)) {
        if (!picked && fs::is_symlink(fs::symlink_status(item, error))) {
            observer_.itemSkipped(textOf(item), u"Link to a folder, not followed");
            return true;
        }
        return uploadFolder(connection, item, target);
    }
    if (!fs::exists(status)) {
        observer_.itemFailed(textOf(item), u"No such file or folder");
        return false;
    }
    if (!fs::is_regular_file(status)) {
        observer_.itemFailed(textOf(item), u"Not a regular file");
        return false;
    }
    return uploadFile(connection, item, target,
                      namesInFolder != nullptr && !namesInFolder->contains(foldedName(name)));
}

bool LocalFolderUpload::uploadFolder(AFCDirectory& connection, const fs::path& item,
                                     const DevicePlace& target) {
    Names names;
    bool namesKnown = true;
    if (!connection.pathExists(target.path)) {
        if (!connection.createDirectory(target.path)) {
            observer_.itemFailed(textOf(item), connection.errorText());
            return false;
        }
    } else if (const ZelboLib::Owned<ZelboLib::NSArray> listed =
                   connection.listDirectory(target.path)) {
        for (int index = 0; index < listed->count(); ++index) {
            if (const auto* name =
                    dynamic_cast<const ZelboLib::CAutoString*>(listed->objectAtIndex(index)))
                names.insert(foldedName(name->text()));
        }
    } else {
        namesKnown = false;
    }
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator entry(item, error), end; !error && entry != end;
         entry.increment(error)) {
        entries.push_back(entry->path());
    }
    if (error) {
        observer_.itemFailed(textOf(item), u"Can't list folder");
        return false;
    }
    std::sort(entries.begin(), entries.end());
    bool copied = true;
    for (const fs::path& entry : entries) {
        if (!uploadItem(connection, entry, target, namesKnown ? &names : nullptr))
            copied = false;
        if (parallel_ != nullptr)
            parallel_->reportEnded();
        if (observer_.isCancelled())
            return false;
    }
    return copied;
}

bool LocalFolderUpload::uploadFile(AFCDirectory& connection, const fs::path& item,
                                   const DevicePlace& target, bool targetIsNew) {
    std::error_code error;
    const uintmax_t size = fs::file_size(item, error);
    const CZelboString source = textOf(item);
    if (targetIsNew && parallel_ != nullptr && !error &&
        parallel_->take({false, source, target.path, source, target.displayPath,
                         static_cast<int64_t>(size), std::nullopt}))
        return true;
    observer_.fileStarted(source, target.displayPath, error ? -1 : static_cast<int64_t>(size));
    CopyProgressRelay relay(observer_);
    if (!connection.copyFileToDevice(source, target.path, &relay)) {
        const CZelboString reason = connection.errorText();
        observer_.itemFailed(source, reason.isEmpty() ? u"Copy failed" : reason);
        return false;
    }
    observer_.fileFinished(source, target.displayPath);
    return true;
}
