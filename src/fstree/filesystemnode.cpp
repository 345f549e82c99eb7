#include "fstree/filesystemnode.h"

#include <new>

#include "afc/afcapplicationdirectory.h"
#include "afc/afcdirectory.h"
#include "afc/afcmediadirectory.h"
#include "afc/afcrootdirectory.h"
#include "device/amdevice.h"
#include "fstree/devicefilesystemnode.h"
#include "fstree/devicepath.h"
#include "fstree/fileinfoprefetch.h"
#include "fstree/filesystemnodedelegate.h"
#include "fstree/sharedappconnection.h"
#include "values/cautostring.h"
#include "values/nsarray.h"

namespace ZelboLib {

namespace {

constexpr uint32_t kReadChunk = 65536;

}  // namespace

FileSystemNode::FileSystemNode(ConstructionKey /*key*/, Placement placement)
    : device_(std::move(placement.device)),
      deviceNode_(std::move(placement.deviceNode)),
      parent_(std::move(placement.parent)),
      area_(placement.area),
      directory_(std::move(placement.directory)),
      appIdentifier_(std::move(placement.appIdentifier)),
      pathComponent_(std::move(placement.pathComponent)),
      name_(std::move(placement.name)),
      fullPath_(std::move(placement.fullPath)),
      displayPath_(std::move(placement.displayPath)) {}

std::shared_ptr<FileSystemNode> FileSystemNode::makeAreaRoot(
    std::shared_ptr<AMDevice> device, std::weak_ptr<DeviceFileSystemNode> deviceNode,
    CZelboString name, DeviceArea area, std::shared_ptr<AFCDirectory> directory) {
    Placement placement;
    placement.device = std::move(device);
    placement.deviceNode = std::move(deviceNode);
    placement.area = area;
    placement.directory = std::move(directory);
    placement.pathComponent = u"/";
    placement.fullPath = u"/";
    placement.displayPath = collapseDoubleSlashes(CZelboString(u"/").concat(name));
    placement.name = std::move(name);
    return std::make_shared<FileSystemNode>(ConstructionKey{}, std::move(placement));
}

std::shared_ptr<FileSystemNode> FileSystemNode::makeAppContainer(
    const std::shared_ptr<FileSystemNode>& parent, CZelboString name,
    CZelboString bundleIdentifier) {
    Placement placement;
    placement.device = parent->device_;
    placement.deviceNode = parent->deviceNode_;
    placement.parent = parent;
    placement.area = DeviceArea::AppContainer;
    placement.appIdentifier = std::move(bundleIdentifier);
    placement.pathComponent = u"/";
    placement.fullPath = u"/";
    placement.displayPath = joinDevicePath(parent->displayPath_, name);
    placement.name = std::move(name);
    return std::make_shared<FileSystemNode>(ConstructionKey{}, std::move(placement));
}

std::shared_ptr<FileSystemNode> FileSystemNode::makeChild(const CZelboString& entryName) {
    Placement placement;
    placement.device = device_;
    placement.deviceNode = deviceNode_;
    placement.parent = weak_from_this();
    placement.area = area_;
    placement.directory = directory_;
    placement.appIdentifier = appIdentifier_;
    placement.pathComponent = entryName;
    placement.name = entryName;
    placement.fullPath = joinDevicePath(fullPath_, entryName);
    placement.displayPath = joinDevicePath(displayPath_, entryName);
    return std::make_shared<FileSystemNode>(ConstructionKey{}, std::move(placement));
}

std::shared_ptr<AFCDirectory> FileSystemNode::directory() const {
    if (area_ != DeviceArea::AppContainer)
        return directory_;
    return SharedAppConnection::instance().connectionFor(device_, appIdentifier_);
}

std::shared_ptr<AFCDirectory> FileSystemNode::openAnotherConnection() const {
    if (!device_)
        return nullptr;
    switch (area_) {
        case DeviceArea::Media:
            return device_->openMediaDirectory();
        case DeviceArea::FileSystem:
            return device_->openRootDirectory();
        case DeviceArea::AppContainer:
            return device_->openApplicationDirectory(appIdentifier_.toUtf8().c_str());
        case DeviceArea::None:
            break;
    }
    return nullptr;
}

FileSystemNode::NodeList FileSystemNode::children() const {
    const std::lock_guard lock(mutex_);
    return children_;
}

bool FileSystemNode::childrenLoaded() const {
    const std::lock_guard lock(mutex_);
    return childrenLoaded_;
}

std::chrono::steady_clock::time_point FileSystemNode::listedAt() const {
    const std::lock_guard lock(mutex_);
    return listedAt_;
}

FileSystemNode::NodeList FileSystemNode::ensureChildren() {
    if (!childrenLoaded())
        loadChildren();
    return children();
}

void FileSystemNode::replaceChildren(NodeList children) {
    NodeList previous;
    {
        const std::lock_guard lock(mutex_);
        previous.swap(children_);
        children_ = std::move(children);
        childrenLoaded_ = true;
        listedAt_ = std::chrono::steady_clock::now();
    }
    // previous is released here, outside the lock: freeing nodes may close a connection.
}

void FileSystemNode::clearChildren() {
    NodeList previous;
    const std::lock_guard lock(mutex_);
    previous.swap(children_);
    childrenLoaded_ = false;
}

void FileSystemNode::loadChildren(EntryInfo info) {
    listChildren(info);
}

void FileSystemNode::listChildren(EntryInfo info) {
    const std::shared_ptr<AFCDirectory> connection = directory();
    loadChildrenUsing(connection.get());
    if (connection && info == EntryInfo::Fetched)
        prefetchFileInfo(children(), *connection);
}

void FileSystemNode::loadChildrenUsing(AFCDirectory* directory) {
    NodeList fresh;
    if (directory != nullptr) {
        if (const Owned<NSArray> names = directory->listEntries(fullPath_)) {
            fresh.reserve(static_cast<size_t>(names->count()));
            for (int index = 0; index < names->count(); ++index) {
                if (const auto* name = dynamic_cast<const CAutoString*>(names->objectAtIndex(index)))
                    fresh.push_back(makeChild(name->text()));
            }
        }
    }
    replaceChildren(std::move(fresh));
}

FileSystemNode::NodeList FileSystemNode::subfolders() {
    const NodeList listed = ensureChildren();
    // Children listed by name alone learn their types in streams, not a request each.
    if (const std::shared_ptr<AFCDirectory> connection = directory())
        prefetchFileInfo(listed, *connection);
    NodeList folders;
    for (const auto& child : listed) {
        if (child->isDirectory())
            folders.push_back(child);
    }
    return folders;
}

std::optional<bool> FileSystemNode::knownToHaveSubfolders() const {
    const std::lock_guard lock(mutex_);
    if (!childrenLoaded_)
        return std::nullopt;
    bool unknown = false;
    for (const auto& child : children_) {
        std::optional<FileInformation::Type> type;
        {
            const std::lock_guard childLock(child->mutex_);
            if (child->fileInfo_)
                type = child->fileInfo_->type();
        }
        if (type == FileInformation::Type::Folder)
            return true;
        if (!type || type == FileInformation::Type::SymbolicLink)
            unknown = true;
    }
    if (unknown)
        return std::nullopt;
    return false;
}

std::optional<FileInformation> FileSystemNode::ensureFileInfo() {
    const std::shared_ptr<AFCDirectory> connection = directory();
    return fileInfoUsing(connection.get());
}

bool FileSystemNode::hasFileInfo() const {
    const std::lock_guard lock(mutex_);
    return fileInfo_.has_value();
}

void FileSystemNode::adoptFileInfo(FileInformation info) {
    const std::lock_guard lock(mutex_);
    // Kept first wins, as in fileInfoUsing, so callers agree.
    if (!fileInfo_)
        fileInfo_ = std::move(info);
}

std::optional<FileInformation> FileSystemNode::fileInfoUsing(AFCDirectory* directory) {
    {
        const std::lock_guard lock(mutex_);
        if (fileInfo_ || directory == nullptr)
            return fileInfo_;
    }
    std::optional<FileInformation> fetched = directory->fileInformation(fullPath_);
    if (!fetched)
        return std::nullopt;
    const std::lock_guard lock(mutex_);
    // Another thread may have fetched it meanwhile: keep the first, so callers agree.
    if (!fileInfo_)
        fileInfo_ = std::move(fetched);
    return fileInfo_;
}

bool FileSystemNode::isDirectory() {
    const std::shared_ptr<AFCDirectory> connection = directory();
    return isDirectoryUsing(connection.get());
}

bool FileSystemNode::isDirectoryUsing(AFCDirectory* directory) {
    const std::optional<FileInformation> info = fileInfoUsing(directory);
    if (!info)
        return false;
    if (info->type() == FileInformation::Type::Folder)
        return true;
    if (info->type() != FileInformation::Type::SymbolicLink || directory == nullptr)
        return false;
    const CZelboString target =
        resolveLinkTarget(parentOfDevicePath(fullPath_), info->linkTarget());
    if (target.isEmpty())
        return false;
    // Not kept: the link may be pointed elsewhere while the node lives.
    const std::optional<FileInformation> targetInfo = directory->fileInformation(target);
    return targetInfo && targetInfo->type() == FileInformation::Type::Folder;
}

bool FileSystemNode::isSymbolicLink() {
    const std::shared_ptr<AFCDirectory> connection = directory();
    return isSymbolicLinkUsing(connection.get());
}

bool FileSystemNode::isSymbolicLinkUsing(AFCDirectory* directory) {
    const std::optional<FileInformation> info = fileInfoUsing(directory);
    return info && info->type() == FileInformation::Type::SymbolicLink;
}

int64_t FileSystemNode::numberFromInfo(int64_t (FileInformation::*read)() const) {
    const std::optional<FileInformation> info = ensureFileInfo();
    return info ? ((*info).*read)() : 0;
}

int64_t FileSystemNode::fileSize() {
    return numberFromInfo(&FileInformation::size);
}

int64_t FileSystemNode::modificationTime() {
    return numberFromInfo(&FileInformation::modificationTime);
}

int64_t FileSystemNode::creationTime() {
    return numberFromInfo(&FileInformation::creationTime);
}

bool FileSystemNode::remove(RefreshParent refresh) {
    // An area root or container would be emptied entirely before its own removal failed.
    if (!canRemoveOrRename())
        return false;
    bool removed = false;
    {
        // One connection for the whole removal, held until it is done.
        const std::shared_ptr<AFCDirectory> connection = directory();
        if (connection)
            removed = removeUsing(*connection);
    }
    if (refresh == RefreshParent::Yes) {
        if (const std::shared_ptr<FileSystemNode> above = parent())
            above->loadChildren();
    }
    return removed;
}

bool FileSystemNode::removeUsing(AFCDirectory& directory) {
    bool removed = true;
    // A link goes as one entry even when it points to a folder: its target is not ours to empty.
    if (!isSymbolicLinkUsing(&directory) && isDirectoryUsing(&directory)) {
        // Listed afresh: entries added since the last listing would keep the folder from going.
        loadChildrenUsing(&directory);
        for (const auto& child : children()) {
            if (!child->removeUsing(directory))
                removed = false;
        }
    }
    return directory.removeItem(fullPath_) && removed;
}

namespace {

/** The first node at or below node's children whose display path is path. */
std::shared_ptr<FileSystemNode> findBelow(FileSystemNode& node, const CZelboString& path) {
    for (const auto& child : node.ensureChildren()) {
        const std::u16string_view childPath = child->displayPath().view();
        if (childPath == path.view())
            return child;
        const bool leadsThere = path.view().size() > childPath.size() &&
                                path.view().starts_with(childPath) &&
                                path.view()[childPath.size()] == u'/';
        if (leadsThere) {
            if (auto found = findBelow(*child, path))
                return found;
        }
    }
    return nullptr;
}

}  // namespace

std::shared_ptr<FileSystemNode> FileSystemNode::nodeForPath(const CZelboString& path) {
    std::shared_ptr<FileSystemNode> top = deviceNode();
    if (!top) {
        top = shared_from_this();
        while (std::shared_ptr<FileSystemNode> above = top->parent())
            top = std::move(above);
    }
    return findBelow(*top, path);
}

std::optional<std::vector<uint8_t>> FileSystemNode::readContents(FileSystemNodeDelegate* delegate) {
    // Declared before the file: the file must be closed before the connection may go.
    const std::shared_ptr<AFCDirectory> connection = directory();
    if (!connection)
        return std::nullopt;
    Owned<AFCFileReference> file = connection->openForReading(fullPath_);
    if (!file)
        return std::nullopt;
    const int64_t size = file->size();
    std::vector<uint8_t> data;
    std::vector<uint8_t> chunk(kReadChunk);
    try {
        if (size > 0)
            data.reserve(static_cast<size_t>(size));
        for (;;) {
            if (delegate != nullptr && !delegate->shouldContinueReading())
                return std::nullopt;
            const uint32_t count = file->read(chunk.data(), kReadChunk);
            if (count == 0) {
                // A failed read is not the end of the file, and neither is one short of its size.
                if (!file->errorText().isEmpty() || static_cast<int64_t>(data.size()) < size)
                    return std::nullopt;
                break;
            }
            data.insert(data.end(), chunk.begin(), chunk.begin() + count);
            // A size of 0 counts as unknown: it may be a file the device cannot size.
            if (delegate != nullptr && size > 0)
                delegate->readProgress(size, static_cast<int64_t>(data.size()));
        }
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return data;
}

bool FileSystemNode::canRemoveOrRename() const {
    return pathComponent_ != u"/";
}

bool FileSystemNode::acceptsNewItems() const {
    return true;
}

bool FileSystemNode::isInsideArea() const {
    return true;
}

}  // namespace ZelboLib
