#pragma once

#include <memory>
#include <optional>

#include <QString>

#include "transfer/transferjob.h"
#include "transfer/ui/transferprompts.h"

class CMainWindow;
class TransferHistoryStore;

namespace ZelboLib {
class FileSystemNode;
}

/**
 * The questions of "Import New Photos..." before its copy: finds which of the device's camera-roll
 * files are new (under the window's busy indicator), says so when none are and offers to import
 * all again, and asks to go on, with the choice of year and month folders. GUI thread.
 */
class PhotoImportCommand {
public:
    /** The import the user agreed to: its job, and what the completion message counts. */
    struct Choice {
        TransferJob job;
        TransferPrompts::ImportCounts counts;
    };

    /** Nothing when the user declines, or the device has no camera roll (which is said). */
    static std::optional<Choice> prepare(CMainWindow& window,
                                         const std::shared_ptr<ZelboLib::FileSystemNode>& device,
                                         const QString& folder, TransferHistoryStore& history);
};
