#include "afc/afcdirectory.h"

#include <algorithm>
#include <memory>
#include <random>
#include <string_view>

#include "afc/cloudonlyphoto.h"
#include "afc/copybuffer.h"
#include "afc/localfile.h"
#include "afc/stageduploads.h"
#include "device/mobiledevicecalls.h"
#include "values/localpaths.h"

using ZelboLib::NSDictionary;
using ZelboLib::Object;
using ZelboLib::Owned;

namespace {

// The device's answer to a path where nothing is.
constexpr int kAfcObjectNotFound = 8;
constexpr int kAfcNoSpaceLeft = 18;
// The library's word for a connection that broke, timed out or whose device went.
constexpr int kAfcDeviceGone = 30;

/** Why a copy's read or write of file failed: its text, in words first where the code has them. */
CZelboString copyFailureOf(const AFCFileReference& file) {
    CZelboString text = file.errorText();
    if (file.lastResult() == kAfcNoSpaceLeft)
        text.format(u"The device's storage is full (%s)", file.errorText());
    else if (file.lastResult() == kAfcDeviceGone)
        text.format(u"The device stopped responding or was disconnected (%s)", file.errorText());
    return text;
}

CZelboString temporaryNameBeside(const CZelboString& deviceItem) {
    const size_t slash = deviceItem.view().find_last_of(u'/');
    const CZelboString folder =
        slash == std::u16string_view::npos ? CZelboString() : deviceItem.left(int(slash) + 1);
    std::random_device entropy;
    CZelboString name;
    name.format(u".plovik-%08x.part", entropy());
    return folder.concat(name);
}

}  // namespace

bool AFCDirectory::isStagedUploadName(std::u16string_view name) {
    constexpr std::u16string_view prefix = u".plovik-";
    constexpr std::u16string_view suffix = u".part";
    constexpr size_t digits = 8;
    if (name.size() != prefix.size() + digits + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix)) {
        return false;
    }
    const std::u16string_view hex = name.substr(prefix.size(), digits);
    return std::all_of(hex.begin(), hex.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
    });
}

AFCDirectory::MoveOutcome AFCDirectory::moveIntoPlace(const CZelboString& temporary,
                                                      const CZelboString& deviceItem) {
    if (renameItem(temporary, deviceItem))
        return MoveOutcome::Moved;
    // Some devices refuse to rename over an existing file: make room, then try again.
    if (!pathExists(deviceItem) || !removeItem(deviceItem))
        return MoveOutcome::TargetKept;
    if (renameItem(temporary, deviceItem))
        return MoveOutcome::Moved;
    return MoveOutcome::OnlyTemporaryLeft;
}

bool AFCDirectory::copyFileToDevice(const CZelboString& localPath, const CZelboString& deviceItem,
                                    AFCDirectoryDelegate* delegate) {
    if (connection_ == nullptr) {
        setErrorText(u"Connection is not open");
        return false;
    }
    const Owned<NSDictionary> existing = fileInfo(deviceItem);
    setErrorText({});
    if (existing) {
        // Replacing it would first empty it, or fail once every byte crossed.
        const Object* type = existing->objectForKey(u"st_ifmt");
        if (type != nullptr && type->description().view() == u"S_IFDIR") {
            setErrorText(u"A folder of that name is in the way");
            return false;
        }
        setErrorText(u"Won't overwriting existing file!");
        if (delegate && !delegate->shouldOverwrite(deviceItem, CopyTarget::Device))
            return false;
        setErrorText({});
    }
    LocalFile source = LocalFile::openForReading(localPath);
    if (!source.isOpen()) {
        setErrorText(u"Can't open input file");
        return false;
    }
    const int64_t size = source.size();
    if (delegate)
        delegate->willCopyFile(localPath, deviceItem, size);

    const CZelboString temporary = temporaryNameBeside(deviceItem);
    const StagedUploads::Hold staged(temporary);
    Owned<AFCFileReference> target = openForWriting(temporary, WriteMode::Truncate);
    if (!target)
        return false;

    const CopyBuffer buffer(size);
    int64_t sent = 0;
    CZelboString failure;
    for (;;) {
        if (delegate) {
            if (delegate->isCancelled()) {
                failure = u"Cancelled";
                break;
            }
            delegate->copyProgress(sent, size);
        }
        const int64_t count = source.read(buffer.data(), buffer.size());
        if (count < 0) {
            failure = u"Can't read input file";
            break;
        }
        if (count == 0)
            break;
        if (!target->write(buffer.data(), static_cast<uint32_t>(count))) {
            failure = copyFailureOf(*target);
            break;
        }
        sent += count;
    }
    if (failure.isEmpty() && sent != size)
        failure = u"Input file changed while it was copied";
    if (!target->close() && failure.isEmpty())
        failure = target->errorText();
    target.reset();
    // Set on the staged file, whose rename keeps it. Devices that refuse it keep the copy's time.
    if (failure.isEmpty()) {
        if (const int64_t modified = source.modificationTime(); modified > 0)
            setModificationTime(temporary, modified);
        setErrorText({});
    }

    const MoveOutcome moved =
        failure.isEmpty() ? moveIntoPlace(temporary, deviceItem) : MoveOutcome::TargetKept;
    if (moved == MoveOutcome::OnlyTemporaryLeft) {
        // The old file is gone and the new one could not take its name: the data now lives
        // only in the temporary file, which must stay.
        CZelboString text;
        text.format(u"The copy is kept as %s", temporary);
        setErrorText(text);
    } else if (moved == MoveOutcome::TargetKept) {
        if (failure.isEmpty())
            failure = errorText();
        if (!removeItem(temporary))
            stagedLeftovers_.push_back(temporary);
        setErrorText(failure);
    }
    if (delegate)
        delegate->didCopyFile(deviceItem);
    return moved == MoveOutcome::Moved;
}

void AFCDirectory::copySmallFilesToDevice(
    const std::vector<std::pair<CZelboString, CZelboString>>& files, int64_t largest,
    const std::function<void(size_t)>& arrived) {
    if (connection_ == nullptr)
        return;
    // What goes, read whole: the files that can be, by their index in files.
    struct Staged {
        size_t index = 0;
        std::string path;
        std::string target;
        std::string bytes;
        int64_t modified = 0;
        CZelboString stagedName;
        std::unique_ptr<StagedUploads::Hold> hold;
    };
    std::vector<Staged> staged;
    for (size_t index = 0; index < files.size(); ++index) {
        LocalFile source = LocalFile::openForReading(files[index].first);
        const int64_t size = source.isOpen() ? source.size() : -1;
        if (size < 0 || size > largest)
            continue;
        Staged file;
        file.bytes.resize(static_cast<size_t>(size) + 1);
        // One byte more than its size tells a file that grew since.
        const int64_t count = source.read(file.bytes.data(), file.bytes.size());
        if (count != size)
            continue;
        file.bytes.resize(static_cast<size_t>(size));
        file.index = index;
        file.modified = source.modificationTime();
        file.target = files[index].second.toUtf8();
        file.stagedName = temporaryNameBeside(files[index].second);
        file.path = file.stagedName.toUtf8();
        file.hold = std::make_unique<StagedUploads::Hold>(file.stagedName);
        staged.push_back(std::move(file));
    }
    if (staged.empty())
        return;
    std::vector<AFCFileWrite> writes;
    writes.reserve(staged.size());
    for (const Staged& file : staged)
        writes.push_back({file.target.c_str(), file.path.c_str(), file.bytes.data(),
                          file.bytes.size(),
                          static_cast<uint64_t>(std::max<int64_t>(file.modified, 0))});
    struct Receiver {
        std::vector<Staged>& staged;
        std::vector<bool> answered;
        std::vector<CZelboString>& leftovers;
        const std::function<void(size_t)>& arrived;
    } receiver{staged, std::vector<bool>(staged.size()), stagedLeftovers_, arrived};
    const auto handle = [](void* context, size_t index, int result, int stagedLeft) {
        auto& to = *static_cast<Receiver*>(context);
        if (index >= to.staged.size() || to.answered[index])
            return;
        to.answered[index] = true;
        if (stagedLeft != 0)
            to.leftovers.push_back(to.staged[index].stagedName);
        if (result == 0)
            to.arrived(to.staged[index].index);
    };
    MobileDevice::AFCFileWriteStream(connection_, writes.data(), writes.size(), handle, &receiver);
    // Those the stream did not reach may have left their staged files.
    for (size_t index = 0; index < staged.size(); ++index) {
        if (!receiver.answered[index])
            stagedLeftovers_.push_back(staged[index].stagedName);
    }
}

bool AFCDirectory::copyToDevice(const CZelboString& localPath, const CZelboString& deviceFolder,
                                AFCDirectoryDelegate* delegate) {
    bool isFolder = false;
    if (!localPathExists(localPath, isFolder))
        return false;
    const CZelboString target =
        toForwardSlashes(deviceFolder.concat(u"/").concat(fileNameOfLocalPath(localPath)));
    return copyFileToDevice(localPath, target, delegate);
}

bool AFCDirectory::copyFileFromDevice(const CZelboString& deviceItem, const CZelboString& localPath,
                                      AFCDirectoryDelegate* delegate,
                                      std::optional<int64_t> modificationTime) {
    if (connection_ == nullptr) {
        setErrorText(u"Connection is not open");
        return false;
    }
    bool isFolder = false;
    if (localPathExists(localPath, isFolder)) {
        // A folder, or a link to one, would only be found in the way once every byte arrived.
        if (isFolder) {
            setErrorText(u"A folder of that name is in the way");
            return false;
        }
        setErrorText(u"Won't overwrite existing file");
        if (delegate && !delegate->shouldOverwrite(localPath, CopyTarget::Computer))
            return false;
        setErrorText({});
    }
    int opened = 0;
    Owned<AFCFileReference> source = openFile(deviceItem, kAFCFileModeRead, &opened);
    if (!source) {
        // Deleted on the device since it was listed.
        if (opened == kAfcObjectNotFound)
            setErrorText(u"No longer on the device");
        return false;
    }
    const int64_t size = source->size();
    // A file that could not return to its start after measuring was closed: its reason counts.
    if (!source->isOpen()) {
        setErrorText(source->errorText());
        return false;
    }

    LocalFile target = LocalFile::createBeside(localPath);
    if (!target.isOpen()) {
        setErrorText(target.failureText(u"Can't create output file"));
        return false;
    }
    const bool sizeKnown = size >= 0;
    if (delegate && sizeKnown)
        delegate->willCopyFile(deviceItem, localPath, size);

    const CopyBuffer buffer(size);
    int64_t received = 0;
    CZelboString failure;
    bool readEnded = false;
    for (;;) {
        if (delegate) {
            if (delegate->isCancelled()) {
                failure = u"Cancelled";
                break;
            }
            if (sizeKnown)
                delegate->copyProgress(received, size);
        }
        // Reads may come back short; only 0 is the end, and a failed read is no end at all.
        const uint32_t count = source->read(buffer.data(), buffer.size());
        if (count == 0) {
            if (!source->errorText().isEmpty())
                failure = copyFailureOf(*source);
            readEnded = true;
            break;
        }
        if (!target.writeAll(buffer.data(), count)) {
            failure = target.failureText(u"Can't write output file");
            break;
        }
        received += count;
    }
    if (failure.isEmpty() && sizeKnown && received != size) {
        failure = received > size ? u"The file changed on the device during the copy"
                                  : u"The device file ended early";
    }
    if (readEnded && !failure.isEmpty() && isMediaArea() &&
        CloudOnlyPhoto::explainsFailedRead(deviceItem.view(), source->lastResult(), received, size))
        failure = CloudOnlyPhoto::kFailureText;
    if (failure.isEmpty()) {
        if (!modificationTime)
            modificationTime = deviceModificationTime(deviceItem);
        if (*modificationTime > 0)
            target.setModificationTime(*modificationTime);
    }
    failure = target.placeAs(localPath, failure);
    const bool copied = failure.isEmpty();
    setErrorText(failure);
    if (delegate && sizeKnown)
        delegate->didCopyFile(localPath);
    return copied;
}
