#pragma once

#include <functional>
#include <vector>

#include "transfer/transferjob.h"
#include "transfer/transferrecord.h"
#include "values/zelbostring.h"

namespace ZelboLib {
class FileSystemNode;
}

/** Whether an import leaves out what was copied from the device before. */
enum class ImportScope { NewOnly, All };
/** Where an import puts the files: all into the chosen folder, or into its YYYY/MM folders. */
enum class ImportFolders { Destination, ByMonth };

/** What an import of a camera roll will copy. */
struct ImportPlan {
    /** The files to copy, in the device's order; a Live Photo's photo and video side by side. */
    std::vector<ImportFile> files;
    /** The photos and videos found under the camera roll. */
    int found = 0;
    /** Of those, the ones copied from this device before; left out unless all are asked for. */
    int importedBefore = 0;

    int newFiles() const { return found - importedBefore; }
};

/**
 * Works out an import of a device's camera roll (the media area's /DCIM): every photo and video
 * below it, less those the transfer history says were copied from this device before, unless all
 * are asked for. A file counts as copied before when a download of it arrived: the same device
 * (its UDID), device path, size and modification time. A Live Photo (a .HEIC, .HEIF, .JPG or
 * .JPEG and the .MOV of the same name in the same folder) is copied whole or not at all, into
 * one folder. By month, a photo goes into YYYY/MM by the date its Exif says it was taken (read
 * from the file's metadata alone), any other file by its modification time in local time; the
 * folders are made here. Links to folders are not followed.
 *
 * Runs on a worker thread: it lists folders and reads the device.
 */
class CameraRollImport {
public:
    CameraRollImport(ImportScope scope, ImportFolders folders) : scope_(scope), folders_(folders) {}

    /** stop is asked before each folder and each photo; once true, what was found so far. */
    ImportPlan plan(ZelboLib::FileSystemNode& cameraRoll,
                    const std::vector<TransferRecord>& history, const CZelboString& destination,
                    const std::function<bool()>& stop) const;

    /** Whether the name is that of a photo or a video a camera roll keeps. */
    static bool isMediaName(const CZelboString& name);

private:
    ImportScope scope_;
    ImportFolders folders_;
};
