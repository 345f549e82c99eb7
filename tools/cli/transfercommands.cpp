#include <filesystem>
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
#include "transfer/devicefolderdownload.h"
#include "transfer/localfolderupload.h"
#include "transferreporter.h"
#include "values/localpaths.h"

namespace {

TransferReporter::Overwrite overwriteOf(const CommandArguments& arguments) {
    return arguments.has('f') ? TransferReporter::Overwrite::Replace
                              : TransferReporter::Overwrite::Keep;
}

}  // namespace

int runPull(DeviceSession& session, const CommandArguments& arguments) {
    arguments.requireOperands(2, SIZE_MAX);
    const std::vector<std::string>& operands = arguments.operands();
    const CZelboString localFolder = CZelboString::fromUtf8(operands.back());
    bool isFolder = false;
    if (!localPathExists(localFolder, isFolder)) {
        // A missing destination is made, as cp -r makes it; its parent must exist.
        std::error_code error;
        if (!std::filesystem::create_directory(operands.back(), error))
            throw CommandFailure(operands.back() +
                                 ": no such local folder, and it cannot be made (" +
                                 error.message() + ")");
    } else if (!isFolder) {
        throw CommandFailure(operands.back() + ": not a local folder");
    }

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
    LocalFolderUpload upload(reporter);
    for (size_t index = 0; index + 1 < operands.size(); ++index)
        upload.run(CZelboString::fromUtf8(operands[index]), folder);
    return reporter.failures() == 0 ? 0 : 1;
}
