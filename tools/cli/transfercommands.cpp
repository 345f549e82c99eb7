#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "commandarguments.h"
#include "commandfailure.h"
#include "commands.h"
#include "devicefolders.h"
#include "devicepaths.h"
#include "devicesession.h"
#include "errorline.h"
#include "fstree/photolibrary.h"
#include "transfer/camerarollimport.h"
#include "transfer/copyconnections.h"
#include "transfer/devicefolderdownload.h"
#include "transfer/localfolderupload.h"
#include "transfer/transferhistorystore.h"
#include "transfer/transferrecorder.h"
#include "transferreporter.h"
#include "values/localpaths.h"
#include "values/userfolders.h"

namespace {

/** The local folder named, made when missing (its parent must exist), as cp -r makes it. */
CZelboString localDestination(const std::string& path) {
    const CZelboString folder = CZelboString::fromUtf8(path);
    bool isFolder = false;
    if (!localPathExists(folder, isFolder)) {
        std::error_code error;
        if (!std::filesystem::create_directory(path, error))
            throw CommandFailure(path + ": no such local folder, and it cannot be made (" +
                                 error.message() + ")");
    } else if (!isFolder) {
        throw CommandFailure(path + ": not a local folder");
    }
    return folder;
}

TransferReporter::Overwrite overwriteOf(const CommandArguments& arguments) {
    return arguments.has('f') ? TransferReporter::Overwrite::Replace
                              : TransferReporter::Overwrite::Keep;
}

}  // namespace

int runPull(DeviceSession& session, const CommandArguments& arguments) {
    arguments.requireOperands(2, SIZE_MAX);
    const std::vector<std::string>& operands = arguments.operands();
    const CZelboString localFolder = localDestination(operands.back());

    TransferReporter reporter("pull", overwriteOf(arguments));
    DeviceFolderDownload download(reporter);
    if (arguments.has("heic-to-jpeg"))
        download.setHeicToJpeg(HeicToJpeg::Convert);
    for (size_t index = 0; index + 1 < operands.size(); ++index) {
        const auto item = findItem(session, operands[index]);
        if (!item) {
            reporter.itemFailed(CZelboString::fromUtf8(normalizedDevicePath(operands[index])),
                                u"No such file or folder");
            continue;
        }
        download.run(item, localFolder);
    }
    return reporter.failures() == 0 ? 0 : 1;
}

int runImport(DeviceSession& session, const CommandArguments& arguments) {
    arguments.requireOperands(1, 1);
    const CZelboString destination = localDestination(arguments.operands().front());
    const auto cameraRoll = findItem(session, "/Media/DCIM");
    if (!cameraRoll || !cameraRoll->isDirectory())
        throw CommandFailure("the device has no camera roll (/Media/DCIM)");
    const std::optional<std::filesystem::path> dataFolder = userDataFolder();
    if (!dataFolder)
        throw CommandFailure("no home folder for the transfer history");
    TransferHistoryStore history(
        CZelboString::fromUtf8((*dataFolder / "transfers.sqlite").string()));

    const CameraRollImport import(
        arguments.has("all") ? ImportScope::All : ImportScope::NewOnly,
        arguments.has("by-month") ? ImportFolders::ByMonth : ImportFolders::Destination);
    const ImportPlan plan =
        import.plan(*cameraRoll, history.records(), destination, [] { return false; });
    TransferReporter reporter("import", overwriteOf(arguments));
    const TransferJob job{true, cameraRoll->fullPath(), destination, cameraRoll, plan.files};
    {
        TransferRecorder recorder(reporter, &history, job);
        DeviceFolderDownload download(recorder);
        if (arguments.has("heic-to-jpeg"))
            download.setHeicToJpeg(HeicToJpeg::Convert);
        download.runFiles(plan.files);
    }
    history.close();
    std::printf(
        "%d photos and videos found, %d new, %d imported before; %d copied, %d skipped, "
        "%d failed\n",
        plan.found, plan.newFiles(), plan.importedBefore, reporter.copied(), reporter.kept(),
        reporter.failures() - reporter.kept());
    return reporter.failures() == reporter.kept() ? 0 : 1;
}

int runPush(DeviceSession& session, const CommandArguments& arguments) {
    arguments.requireOperands(2, SIZE_MAX);
    const std::vector<std::string>& operands = arguments.operands();
    const std::string& folderPath = operands.back();
    // A missing destination is made; its parent must exist.
    if (!findItem(session, folderPath))
        makeDeviceFolder(session, normalizedDevicePath(folderPath));
    const auto folder = itemAt(session, folderPath);
    if (!folder->isDirectory() || !folder->acceptsNewItems())
        throw CommandFailure(normalizedDevicePath(folderPath) +
                             ": not a folder that takes new items");

    if (PhotoLibrary::contains(*folder))
        printError("push", std::string("warning: ") + PhotoLibrary::kUploadWarning);
    TransferReporter reporter("push", overwriteOf(arguments));
    // Copies run on connections of their own, so that a file a broken one staged is removed on
    // the folder's connection while the device can still be reached.
    CopyConnections connections;
    LocalFolderUpload upload(reporter, &connections);
    for (size_t index = 0; index + 1 < operands.size(); ++index)
        upload.run(CZelboString::fromUtf8(operands[index]), folder);
    connections.removeStagedLeftovers();
    return reporter.failures() == 0 ? 0 : 1;
}
