#pragma once

#include <QString>

class QUrl;
class QWidget;

/**
 * The questions and messages of a transfer run, each an alert owned by `owner`. Names and paths
 * are shown as they are, never read as skin markup. GUI thread only: a worker that needs an
 * answer makes a blocking queued call to the GUI thread.
 */
namespace TransferPrompts {

/** The standing answer to overwrite questions; every run starts with AskEachTime. */
enum OverwriteAnswer : int { AskEachTime = -1, OverwriteAll = 0, SkipAll = 1 };

/**
 * Whether to replace the existing file at `path`. With a standing answer in `overwriteAnswer` it
 * is given without asking; otherwise the user chooses Overwrite, Skip or Cancel, and "Do this
 * operation on all items?" makes Overwrite or Skip (or the close button) the standing answer.
 * Cancel sets `cancelRequested`, ignores the check box and answers false.
 */
bool askOverwrite(QWidget* owner, const QString& path, int& overwriteAnswer, bool& cancelRequested);

/** What a run did with its files, as the completion message tells it. */
struct RunOutcome {
    int copied = 0;
    int failed = 0;
    /** Kept as they were: the user answered Skip, or links to folders were left out. */
    int skipped = 0;
    /** Why the first file that failed did, for the message. */
    QString firstFailure;
    /** HEIC photos meant to become JPEGs that were copied as they are (among copied). */
    int notConverted = 0;
    /** Why the first of them was not converted. */
    QString firstNotConverted;
};

/**
 * The message at the end of a run that was not cancelled. Failures are always told: some failed,
 * how many of how many arrived; none arrived, an error; each with the first failure's reason and
 * how many more failed, and no "Don't show this message again" box. A run without failures says
 * "Successfully Done!" (skipped files counted apart), or that every file was skipped, unless the
 * "ShowTransferMessage" preference is off; its check box is stored as that preference. Messages
 * where files arrived offer to open `destination` when `offerOpenFolder` is set. Photos that were
 * copied as they are instead of converted are always told, with the first one's reason. Nothing
 * is shown for a run that had no files at all.
 */
void showCompletionMessage(QWidget* owner, const QString& destination, bool offerOpenFolder,
                           const RunOutcome& outcome);

/** The error alert of rename and new folder; `info` and `message` are plain texts. */
void showError(QWidget* owner, const QString& info, const QString& message);

/** Opens a local folder in the desktop's file manager, saying so over owner when none answered. */
void openFolder(QWidget* owner, const QString& folder);
/** Opens a web page in the desktop's browser, saying so over owner when none answered. */
void openPage(QWidget* owner, const QUrl& page);

/** What an import found on the device, for its questions and its completion message. */
struct ImportCounts {
    /** The photos and videos under the camera roll. */
    int found = 0;
    /** Of those, the ones copied from this device before. */
    int importedBefore = 0;
};

/**
 * Says that nothing on the device is new and offers "Import All Again"; true when the user
 * chooses it.
 */
bool askImportAllAgain(QWidget* owner, const QString& deviceName, const ImportCounts& counts);
/**
 * Asks whether to copy the new photos and videos into destination, with the check box "Put them
 * in year and month folders" (byMonth gives its first state and receives the last); false when
 * the user cancels. With all, every file is to be copied again.
 */
bool confirmImport(QWidget* owner, const QString& deviceName, const QString& destination,
                   const ImportCounts& counts, bool all, bool& byMonth);
/**
 * The message at the end of an import that was not cancelled, always shown: how many of the files
 * found were new, how many of those were copied, skipped and failed (with the first reason), how
 * many were imported before, and the photos not converted; it offers to open destination when
 * files arrived.
 */
void showImportMessage(QWidget* owner, const QString& destination, const RunOutcome& outcome,
                       const ImportCounts& counts);

}  // namespace TransferPrompts
