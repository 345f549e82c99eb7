#include "app/photoimportcommand.h"

#include "app/cmainwindow.h"
#include "app/qtextconversion.h"
#include "device/amdevice.h"
#include "fstree/filesystemnode.h"
#include "transfer/camerarollimport.h"
#include "transfer/transferhistorystore.h"

using ZelboLib::FileSystemNode;

std::optional<PhotoImportCommand::Choice> PhotoImportCommand::prepare(
    CMainWindow& window, const std::shared_ptr<FileSystemNode>& device, const QString& folder,
    TransferHistoryStore& history) {
    const CZelboString destination = toZelboString(folder);
    const std::vector<TransferRecord> records = history.records();
    std::shared_ptr<FileSystemNode> cameraRoll;
    const auto planned = [&](ImportScope scope, ImportFolders folders) {
        ImportPlan plan;
        window.runDeviceStep([&] {
            if (!cameraRoll)
                cameraRoll = device->nodeForPath(u"/Media/DCIM");
            if (cameraRoll && cameraRoll->isDirectory())
                plan = CameraRollImport(scope, folders).plan(*cameraRoll, records, destination, [] {
                    return false;
                });
        });
        return plan;
    };

    ImportPlan plan = planned(ImportScope::NewOnly, ImportFolders::Destination);
    const QString deviceName = toQString(device->device()->name());
    if (!cameraRoll || !cameraRoll->isDirectory()) {
        TransferPrompts::showError(
            &window, QStringLiteral("There is no camera roll"),
            QStringLiteral("%1 shows no DCIM folder in its media area.").arg(deviceName));
        return std::nullopt;
    }
    const TransferPrompts::ImportCounts counts{plan.found, plan.importedBefore};
    ImportScope scope = ImportScope::NewOnly;
    if (plan.files.empty()) {
        if (!TransferPrompts::askImportAllAgain(&window, deviceName, counts))
            return std::nullopt;
        scope = ImportScope::All;
    }
    bool byMonth = false;
    if (!TransferPrompts::confirmImport(&window, deviceName, folder, counts,
                                        scope == ImportScope::All, byMonth))
        return std::nullopt;
    // Month folders are made as the files are placed: only once they are asked for.
    if (byMonth || scope == ImportScope::All)
        plan = planned(scope, byMonth ? ImportFolders::ByMonth : ImportFolders::Destination);
    if (plan.files.empty())
        return std::nullopt;
    return Choice{{true, cameraRoll->fullPath(), destination, cameraRoll, std::move(plan.files)},
                  counts};
}
