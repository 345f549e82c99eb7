#pragma once

#include <memory>

namespace ZelboLib {
class FileSystemNode;
}

/**
 * The phone's camera roll as AFC shows it: the media area's "/DCIM". The phone's Photos app keeps
 * its own library of it, so deleting there does not take photos out of the app, and files copied
 * in are not picked up by it. What the window and plovik-cli tell the user about that.
 */
namespace PhotoLibrary {

/** Shown before items under /DCIM are deleted. */
inline constexpr const char* kDeleteWarning =
    "These photos will disappear from this folder, but the phone's Photos app keeps its own "
    "library: they may still appear there and their space may not be freed. To free space, "
    "delete them on the phone.";
/** Told once per copy into /DCIM. */
inline constexpr const char* kUploadWarning =
    "The phone's Photos app will not show files copied into DCIM: it keeps its own library. The "
    "files stay on the phone, usable as files.";

/** Whether node is the media area's "/DCIM" or lies below it. */
bool contains(const ZelboLib::FileSystemNode& node);

/**
 * The video of a Live Photo: for a ".HEIC", ".HEIF", ".JPG" or ".JPEG" file under /DCIM, the
 * ".MOV" of the same name in the same folder, as its folder was listed last; null when there is
 * none.
 */
std::shared_ptr<ZelboLib::FileSystemNode> livePhotoVideo(const ZelboLib::FileSystemNode& photo);

}  // namespace PhotoLibrary
