#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "afc/fileinformation.h"
#include "values/zelbostring.h"

class AFCDirectory;
class AMDevice;

namespace ZelboLib {

class DeviceFileSystemNode;
class FileSystemNodeDelegate;

/** The area of a device a node lies in. Children take their parent's. */
enum class DeviceArea : int32_t { None = 0, FileSystem = 1, AppContainer = 2, Media = 3 };

/** Whether a listing fetches its entries' file information along with their names. */
enum class EntryInfo { Fetched, WhenAsked };

/** Whether a removal lists the parent folder again afterwards. */
enum class RefreshParent { No, Yes };

/**
 * One entry of a device's tree: an area root ("Root", "Media"), an app container, or a folder or
 * file below them. DeviceFileSystemNode and AppFileSystemNode are the two upper kinds. A node
 * builds its device path and display path, finds its AFC connection, lists its children lazily,
 * reads its type, size and dates lazily, removes itself and reads its contents.
 *
 * Ownership and threads: nodes are shared. A parent holds its children, each node holds its
 * area's connection and its device; links up (parent, device node) are weak. Whoever uses a
 * node on another thread (a transfer, a thumbnail or inspector request) keeps a shared_ptr to
 * it, so a refresh that replaces the children or an unplug that drops the tree never frees a
 * node, a connection or a device still in use. Names and paths never change after creation. The
 * children list and the file information are guarded by a lock per node; every call may come
 * from any thread. The lock is never held across device calls: two threads loading the same
 * children both list the folder, and the later listing wins.
 */
class FileSystemNode : public std::enable_shared_from_this<FileSystemNode> {
protected:
    struct ConstructionKey;
    struct Placement;

public:
    using NodeList = std::vector<std::shared_ptr<FileSystemNode>>;

    /** Open to make_shared only: the key is this class's and its subclasses'. */
    FileSystemNode(ConstructionKey key, Placement placement);
    virtual ~FileSystemNode() = default;
    FileSystemNode(const FileSystemNode&) = delete;
    FileSystemNode& operator=(const FileSystemNode&) = delete;

    /** The name shown to the user: an entry name, "Root", "Media", an app's or the device's. */
    const CZelboString& name() const { return name_; }
    /** The node's part of device paths: the entry name, or "/" for area roots and containers. */
    const CZelboString& pathComponent() const { return pathComponent_; }
    /** The device path used with AFC: "/" for an area root, "/DCIM/100APPLE" below it. */
    const CZelboString& fullPath() const { return fullPath_; }
    /** The path of names that ties tree and list rows back to nodes: "/Media/DCIM". */
    const CZelboString& displayPath() const { return displayPath_; }
    DeviceArea area() const { return area_; }
    /** The bundle identifier of the app whose container holds the node; "" elsewhere. */
    const CZelboString& appIdentifier() const { return appIdentifier_; }
    const std::shared_ptr<AMDevice>& device() const { return device_; }
    /** Null for the upper nodes, area roots and once the parent is gone. */
    std::shared_ptr<FileSystemNode> parent() const { return parent_.lock(); }

    /**
     * The connection for this node's AFC calls; null for the upper nodes and when it cannot be
     * opened. In an app container it is the process's shared app connection (opened for this
     * node's app when another app's is held). Keep the returned pointer for the whole operation,
     * and release every file opened on it before letting go of it.
     */
    std::shared_ptr<AFCDirectory> directory() const;
    /**
     * A new AFC connection of its own to the node's area (the media area, the whole file system
     * or its app's container), for work beside the shared one; null for the upper nodes and when
     * the device will not open one.
     */
    std::shared_ptr<AFCDirectory> openAnotherConnection() const;

    /** The children as listed last (empty before the first listing). */
    NodeList children() const;
    bool childrenLoaded() const;
    /** When the children were last listed; meaningful once childrenLoaded. */
    std::chrono::steady_clock::time_point listedAt() const;
    /** The children, listing them first when they were never listed. */
    NodeList ensureChildren();
    /**
     * Lists the children again, replacing the earlier ones (which live on where still held).
     * Their file information is fetched with them in streams of requests in flight
     * (prefetchFileInfo), or, with EntryInfo::WhenAsked, only when each is first asked.
     */
    void loadChildren(EntryInfo info = EntryInfo::Fetched);
    /** Forgets the children; the next ensureChildren lists them again. */
    void clearChildren();
    /** The children that are folders, in children order (listing them when needed). */
    virtual NodeList subfolders();
    /**
     * Whether a child is a folder, answered from what is known without asking the device: nothing
     * before the children were listed or while a child's type is unknown (a link, say).
     */
    virtual std::optional<bool> knownToHaveSubfolders() const;

    /**
     * The file information of fullPath, fetched on first need and kept; nothing when it cannot
     * be fetched (asked again next time).
     */
    std::optional<FileInformation> ensureFileInfo();
    bool hasFileInfo() const;
    /** Keeps info as the file information, unless the node has some already. */
    void adoptFileInfo(FileInformation info);
    /** A folder, or a symbolic link whose target is a folder. */
    virtual bool isDirectory();
    /** A symbolic link, whatever it points to. Walks over folders must not descend into it. */
    bool isSymbolicLink();
    /** "st_size"; 0 without information. */
    int64_t fileSize();
    /** "st_mtime" in nanoseconds since 1970 UTC; 0 without information. */
    int64_t modificationTime();
    /** "st_birthtime" in nanoseconds since 1970 UTC; 0 without information. */
    int64_t creationTime();

    /**
     * Removes the item from the device: a folder with everything in it, deepest entries first; a
     * symbolic link as itself, never what it points to. A failure does not stop the others.
     * True when every removal succeeded; false at once for a node that canRemoveOrRename refuses.
     */
    bool remove(RefreshParent refresh);
    /** The node of the same device whose displayPath is exactly path (case-sensitive), or null. */
    std::shared_ptr<FileSystemNode> nodeForPath(const CZelboString& path);
    /**
     * The whole file, or nothing when it cannot be opened, a read fails, it ends before the size
     * it had when opened, or the delegate stops the read.
     */
    std::optional<std::vector<uint8_t>> readContents(FileSystemNodeDelegate* delegate);

    /** The item may be removed or renamed: an entry below an area root or container. */
    virtual bool canRemoveOrRename() const;
    /** The item takes uploads and new folders: anything inside an area. */
    virtual bool acceptsNewItems() const;
    /** The node lies inside a file-system area (not the device or the apps list). */
    virtual bool isInsideArea() const;

protected:
    /** Lets only this class and its subclasses construct nodes, always through make_shared. */
    struct ConstructionKey {
        explicit ConstructionKey() = default;
    };

    /** Everything fixed at creation. */
    struct Placement {
        std::shared_ptr<AMDevice> device;
        std::weak_ptr<DeviceFileSystemNode> deviceNode;
        std::weak_ptr<FileSystemNode> parent;
        DeviceArea area = DeviceArea::None;
        std::shared_ptr<AFCDirectory> directory;
        CZelboString appIdentifier;
        CZelboString pathComponent;
        CZelboString name;
        CZelboString fullPath;
        CZelboString displayPath;
    };

    /** A "Root" or "Media" root, owning a share of its area's connection. */
    static std::shared_ptr<FileSystemNode> makeAreaRoot(
        std::shared_ptr<AMDevice> device, std::weak_ptr<DeviceFileSystemNode> deviceNode,
        CZelboString name, DeviceArea area, std::shared_ptr<AFCDirectory> directory);
    /** The container of one app, below the "Applications" node parent. */
    static std::shared_ptr<FileSystemNode> makeAppContainer(
        const std::shared_ptr<FileSystemNode>& parent, CZelboString name,
        CZelboString bundleIdentifier);

    /** loadChildren's work; the upper nodes list areas, apps or containers instead. */
    virtual void listChildren(EntryInfo info);
    std::shared_ptr<DeviceFileSystemNode> deviceNode() const { return deviceNode_.lock(); }
    /** Installs a new children list and marks it loaded. */
    void replaceChildren(NodeList children);

private:
    std::shared_ptr<FileSystemNode> makeChild(const CZelboString& entryName);
    void loadChildrenUsing(AFCDirectory* directory);
    std::optional<FileInformation> fileInfoUsing(AFCDirectory* directory);
    bool isDirectoryUsing(AFCDirectory* directory);
    bool isSymbolicLinkUsing(AFCDirectory* directory);
    bool removeUsing(AFCDirectory& directory);
    /** One number of the file information; 0 without information. */
    int64_t numberFromInfo(int64_t (FileInformation::*read)() const);

    const std::shared_ptr<AMDevice> device_;
    const std::weak_ptr<DeviceFileSystemNode> deviceNode_;
    const std::weak_ptr<FileSystemNode> parent_;
    const DeviceArea area_;
    const std::shared_ptr<AFCDirectory> directory_;
    const CZelboString appIdentifier_;
    const CZelboString pathComponent_;
    const CZelboString name_;
    const CZelboString fullPath_;
    const CZelboString displayPath_;

    mutable std::mutex mutex_;
    NodeList children_;
    bool childrenLoaded_ = false;
    std::chrono::steady_clock::time_point listedAt_;
    std::optional<FileInformation> fileInfo_;
};

}  // namespace ZelboLib
