#include "fstree/photolibrary.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "fstree/filesystemnode.h"
#include "values/localpaths.h"
#include "values/unicode.h"

using ZelboLib::DeviceArea;
using ZelboLib::FileSystemNode;

namespace {

constexpr std::u16string_view kCameraRoll = u"/DCIM";
constexpr std::array<std::u16string_view, 4> kPhotoExtensions = {u".heic", u".heif", u".jpg",
                                                                  u".jpeg"};

}  // namespace

namespace PhotoLibrary {

bool contains(const FileSystemNode& node) {
    if (node.area() != DeviceArea::Media)
        return false;
    const std::u16string_view path = node.fullPath().view();
    return path == kCameraRoll ||
           (path.starts_with(kCameraRoll) && path.substr(kCameraRoll.size()).starts_with(u'/'));
}

std::shared_ptr<FileSystemNode> livePhotoVideo(const FileSystemNode& photo) {
    if (!contains(photo))
        return nullptr;
    const std::u16string extension = asciiLowerCase(extensionOf(photo.name()).view());
    if (std::find(kPhotoExtensions.begin(), kPhotoExtensions.end(), extension) ==
        kPhotoExtensions.end())
        return nullptr;
    const std::shared_ptr<FileSystemNode> folder = photo.parent();
    if (!folder)
        return nullptr;
    const std::u16string_view name = photo.name().view();
    const std::u16string stem = asciiLowerCase(name.substr(0, name.size() - extension.size()));
    for (const auto& sibling : folder->children()) {
        const std::u16string siblingName = asciiLowerCase(sibling->name().view());
        if (siblingName == stem + u".mov")
            return sibling;
    }
    return nullptr;
}

}  // namespace PhotoLibrary
