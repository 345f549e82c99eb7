#include <cstdio>
#include <ctime>
#include <string>

#include "afc/afcdirectory.h"
#include "commandarguments.h"
#include "commandfailure.h"
#include "commands.h"
#include "devicefolders.h"
#include "devicepaths.h"
#include "devicesession.h"
#include "errorline.h"
#include "fstree/devicepath.h"
#include "fstree/folderlisting.h"
#include "fstree/photolibrary.h"
#include "values/cautostring.h"
#include "values/nsarray.h"

using ZelboLib::FileSystemNode;
using NodePointer = std::shared_ptr<FileSystemNode>;

namespace {

std::string timeText(int64_t nanoseconds) {
    const std::time_t seconds = static_cast<std::time_t>(nanoseconds / 1'000'000'000);
    std::tm local{};
    char text[32] = "-";
    if (nanoseconds != 0 && localtime_r(&seconds, &local) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

void printEntry(FileSystemNode& item, bool longFormat) {
    const std::string name = item.name().toUtf8();
    if (!longFormat) {
        std::printf("%s\n", name.c_str());
        return;
    }
    const bool link = item.isSymbolicLink();
    const char type = link ? 'l' : item.isDirectory() ? 'd' : '-';
    std::string target;
    if (link) {
        if (const auto info = item.ensureFileInfo(); info && !info->linkTarget().isEmpty())
            target = " -> " + info->linkTarget().toUtf8();
    }
    std::printf("%c %12lld %s %s%s\n", type, static_cast<long long>(item.fileSize()),
                timeText(item.modificationTime()).c_str(), name.c_str(), target.c_str());
}

/** Fails naming path when the folder's listing was refused (an empty one may have been). */
void checkListed(FileSystemNode& folder, const std::string& path) {
    if (const auto connection = folder.directory();
        connection && !connection->listDirectory(folder.fullPath())) {
        throw CommandFailure(normalizedDevicePath(path) + ": " + connection->errorText().toUtf8());
    }
}

/** The folder's names as the device listed them, right after the one request that lists them. */
void printNames(FileSystemNode& folder, const std::string& path) {
    const auto connection = folder.directory();
    if (!connection) {
        // The upper nodes (the device, "Applications") hold what no device folder lists.
        folder.loadChildren(ZelboLib::EntryInfo::WhenAsked);
        for (const NodePointer& entry : folder.children())
            std::printf("%s\n", entry->name().toUtf8().c_str());
        return;
    }
    const ZelboLib::Owned<ZelboLib::NSArray> names = connection->listEntries(folder.fullPath());
    if (!names)
        throw CommandFailure(normalizedDevicePath(path) + ": " + connection->errorText().toUtf8());
    for (int index = 0; index < names->count(); ++index) {
        if (const auto* name = dynamic_cast<const ZelboLib::CAutoString*>(names->objectAtIndex(index)))
            std::printf("%s\n", name->text().toUtf8().c_str());
    }
}

/** Runs work for each operand; a failure is printed and the others still run. The exit code. */
template <typename Work>
int forEachOperand(std::string_view command, const CommandArguments& arguments, Work work) {
    int exitCode = 0;
    for (const std::string& operand : arguments.operands()) {
        try {
            work(operand);
        } catch (const CommandFailure& failure) {
            printError(command, failure.what());
            exitCode = 1;
        }
    }
    return exitCode;
}

}  // namespace

int runList(DeviceSession& session, const CommandArguments& arguments) {
    arguments.requireOperands(0, 1);
    const std::string path = arguments.operands().empty() ? "/" : arguments.operands().front();
    const NodePointer item = itemAt(session, path);
    const bool longFormat = arguments.has('l');
    if (!item->isDirectory()) {
        printEntry(*item, longFormat);
        return 0;
    }
    if (!longFormat) {
        printNames(*item, path);
        return 0;
    }
    item->loadChildren(ZelboLib::EntryInfo::Fetched);
    if (item->children().empty())
        checkListed(*item, path);
    FolderListing listing;
    listing.showFolder(item);
    for (const NodePointer& entry : listing.entries())
        printEntry(*entry, longFormat);
    return 0;
}

int runRemove(DeviceSession& session, const CommandArguments& arguments) {
    arguments.requireOperands(1, SIZE_MAX);
    const bool recursive = arguments.has('r');
    return forEachOperand("rm", arguments, [&](const std::string& path) {
        const NodePointer item = itemAt(session, path);
        const std::string shown = normalizedDevicePath(path);
        if (!item->canRemoveOrRename())
            throw CommandFailure(shown + ": cannot be removed");
        if (PhotoLibrary::contains(*item) && !arguments.has('f'))
            throw CommandFailure(shown +
                                 ": is in the camera roll, whose photos the phone's Photos app "
                                 "keeps in its own library: they may stay there and keep their "
                                 "space (delete them on the phone, or use --force)");
        if (!recursive && !item->isSymbolicLink() && item->isDirectory()) {
            // A folder that is empty goes without -r, as with rmdir.
            item->loadChildren();
            if (!item->children().empty())
                throw CommandFailure(shown + ": is a folder that is not empty (use -r)");
        }
        if (!item->remove(ZelboLib::RefreshParent::Yes)) {
            const std::string reason = connectionOf(*item, shown)->errorText().toUtf8();
            throw CommandFailure(shown + ": not everything was removed" +
                                 (reason.empty() ? "" : " (" + reason + ")"));
        }
    });
}

int runMakeFolder(DeviceSession& session, const CommandArguments& arguments) {
    arguments.requireOperands(1, SIZE_MAX);
    return forEachOperand("mkdir", arguments, [&](const std::string& path) {
        makeDeviceFolder(session, normalizedDevicePath(path));
    });
}

int runMove(DeviceSession& session, const CommandArguments& arguments) {
    arguments.requireOperands(2, 2);
    const std::string from = normalizedDevicePath(arguments.operands()[0]);
    std::string to = normalizedDevicePath(arguments.operands()[1]);
    const NodePointer item = itemAt(session, from);
    if (!item->canRemoveOrRename())
        throw CommandFailure(from + ": cannot be moved");
    // An existing folder as the target receives the item under its own name.
    if (const NodePointer existing = findItem(session, to); existing && existing->isDirectory())
        to = (to == "/" ? "" : to) + "/" + item->name().toUtf8();
    const std::string parentPath = to.substr(0, std::max<size_t>(to.rfind('/'), 1));
    const NodePointer parent = folderForNewItems(session, parentPath);
    if (parent->area() != item->area() || parent->appIdentifier() != item->appIdentifier()) {
        throw CommandFailure(from + ": moves stay within one area of the device");
    }
    const auto connection = connectionOf(*item, from);
    const CZelboString target =
        joinDevicePath(parent->fullPath(), CZelboString::fromUtf8(lastComponent(to)));
    // A rename replaces an existing file on the device: never let it.
    if (connection->pathExists(target))
        throw CommandFailure(to + ": exists");
    if (!connection->renameItem(item->fullPath(), target))
        throw CommandFailure(from + ": " + connection->errorText().toUtf8());
    return 0;
}
