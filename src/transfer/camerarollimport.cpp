#include "transfer/camerarollimport.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>

#include "device/amdevice.h"
#include "fstree/filesystemnode.h"
#include "photos/photodatetaken.h"
#include "thumbs/deviceimagefile.h"
#include "thumbs/readaheadimagefile.h"
#include "values/localpaths.h"
#include "values/unicode.h"

using ZelboLib::FileSystemNode;

namespace {

using Node = std::shared_ptr<FileSystemNode>;

constexpr std::array<std::u16string_view, 10> kPhotoExtensions = {
    u".jpg", u".jpeg", u".heic", u".heif", u".png", u".gif", u".tif", u".tiff", u".dng", u".webp"};
constexpr std::array<std::u16string_view, 5> kVideoExtensions = {u".mov", u".mp4", u".m4v", u".3gp",
                                                                 u".avi"};
// The photos of a Live Photo; its video is the ".mov" of the same name.
constexpr std::array<std::u16string_view, 4> kLivePhotoExtensions = {u".heic", u".heif", u".jpg",
                                                                     u".jpeg"};

template <size_t N>
bool among(const std::array<std::u16string_view, N>& list, std::u16string_view extension) {
    return std::find(list.begin(), list.end(), extension) != list.end();
}

std::u16string lowerExtension(const CZelboString& name) {
    return asciiLowerCase(extensionOf(name).view());
}

std::u16string lowerStem(const CZelboString& name) {
    const std::u16string_view whole = name.view();
    return asciiLowerCase(whole.substr(0, whole.size() - extensionOf(name).view().size()));
}

/** A download that arrived: where it came from on the device, as it was then. */
using CopiedFile = std::tuple<std::u16string, int64_t, int64_t>;

std::set<CopiedFile> copiedFrom(const CZelboString& deviceIdentifier,
                                const std::vector<TransferRecord>& history) {
    std::set<CopiedFile> copied;
    for (const TransferRecord& record : history) {
        if (record.fromDevice && record.status == TransferRecord::kCopied &&
            !deviceIdentifier.isEmpty() && record.deviceIdentifier == deviceIdentifier)
            copied.emplace(std::u16string(record.deviceFile.view()), record.size,
                           record.deviceModificationTime);
    }
    return copied;
}

CopiedFile keyOf(FileSystemNode& file) {
    return {std::u16string(file.fullPath().view()), file.fileSize(),
            std::max<int64_t>(file.modificationTime(), 0)};
}

/** "YYYY/MM" of an Exif date, or of the file's modification time in local time. */
CZelboString monthFolderOf(FileSystemNode& file) {
    const bool isPhoto = among(kPhotoExtensions, lowerExtension(file.name()));
    if (isPhoto) {
        DeviceImageFile deviceFile(nullptr);
        if (file.fileSize() > 0 && deviceFile.open(file, static_cast<uint64_t>(file.fileSize()))) {
            ReadAheadImageFile readAhead(deviceFile);
            if (const std::optional<std::string> taken = photoDateTaken(readAhead))
                return CZelboString::fromUtf8(taken->substr(0, 4) + "/" + taken->substr(5, 2));
        }
    }
    const auto seconds = static_cast<std::time_t>(file.modificationTime() / 1'000'000'000);
    std::tm local{};
    char month[16] = "Unknown";
    if (seconds > 0 && localtime_r(&seconds, &local) != nullptr)
        std::strftime(month, sizeof month, "%Y/%m", &local);
    return CZelboString::fromUtf8(month);
}

class Walk {
public:
    Walk(const std::set<CopiedFile>& copied, bool newOnly, bool byMonth,
         const CZelboString& destination, const std::function<bool()>& stop, ImportPlan& plan)
        : copied_(copied),
          newOnly_(newOnly),
          byMonth_(byMonth),
          destination_(destination),
          stop_(stop),
          plan_(plan) {}

    void folder(FileSystemNode& folder) {
        if (stop_())
            return;
        folder.loadChildren();
        const FileSystemNode::NodeList children = folder.children();
        // A Live Photo's video, by the photo's lower-case stem.
        std::map<std::u16string, Node> videos;
        for (const Node& child : children) {
            if (!child->isDirectory() && lowerExtension(child->name()) == u".mov")
                videos.emplace(lowerStem(child->name()), child);
        }
        std::set<const FileSystemNode*> paired;
        for (const Node& child : children) {
            if (!child->isDirectory() && among(kLivePhotoExtensions, lowerExtension(child->name())))
                if (const auto video = videos.find(lowerStem(child->name()));
                    video != videos.end() && paired.insert(video->second.get()).second)
                    pairs_[child.get()] = video->second;
        }
        for (const Node& child : children) {
            if (stop_())
                return;
            if (child->name().view().starts_with(u'.'))
                continue;
            if (child->isDirectory()) {
                if (!child->isSymbolicLink())
                    this->folder(*child);
                continue;
            }
            if (paired.contains(child.get()) || !CameraRollImport::isMediaName(child->name()))
                continue;
            const auto pair = pairs_.find(child.get());
            std::vector<Node> group{child};
            if (pair != pairs_.end())
                group.push_back(pair->second);
            take(group);
        }
    }

private:
    void take(const std::vector<Node>& group) {
        plan_.found += static_cast<int>(group.size());
        const bool copiedBefore = std::all_of(group.begin(), group.end(), [&](const Node& file) {
            return copied_.contains(keyOf(*file));
        });
        if (copiedBefore)
            plan_.importedBefore += static_cast<int>(group.size());
        if (newOnly_ && copiedBefore)
            return;
        CZelboString folder = destination_;
        if (byMonth_) {
            folder = joinLocalPath(destination_, monthFolderOf(*group.front()));
            createLocalFolders(folder);
        }
        for (const Node& file : group)
            plan_.files.push_back({file, folder});
    }

    const std::set<CopiedFile>& copied_;
    const bool newOnly_;
    const bool byMonth_;
    const CZelboString& destination_;
    const std::function<bool()>& stop_;
    ImportPlan& plan_;
    std::map<const FileSystemNode*, Node> pairs_;
};

}  // namespace

bool CameraRollImport::isMediaName(const CZelboString& name) {
    const std::u16string extension = lowerExtension(name);
    return among(kPhotoExtensions, extension) || among(kVideoExtensions, extension);
}

ImportPlan CameraRollImport::plan(FileSystemNode& cameraRoll,
                                  const std::vector<TransferRecord>& history,
                                  const CZelboString& destination,
                                  const std::function<bool()>& stop) const {
    const CZelboString identifier =
        cameraRoll.device() ? cameraRoll.device()->uniqueDeviceID() : CZelboString();
    const std::set<CopiedFile> copied = copiedFrom(identifier, history);
    ImportPlan plan;
    Walk(copied, scope_ == ImportScope::NewOnly, folders_ == ImportFolders::ByMonth, destination,
         stop, plan)
        .folder(cameraRoll);
    return plan;
}
