#pragma once

#include <functional>

#include <QString>
#include <QUrl>

/**
 * Showing a local file in the desktop's file manager. GUI thread only.
 *
 * Every request reaches the desktop through one call, which tests replace to see what would be
 * shown without launching anything.
 */
namespace FolderReveal {

/** What the desktop is asked to show. */
enum class Target {
    /** A file's folder with the file selected. */
    SelectFile,
    /** A folder. */
    OpenFolder,
};

/** Asks the desktop to show `url` (a local file URL); false when the request could not be made. */
using DesktopCall = std::function<bool(const QUrl& url, Target target)>;

/**
 * The desktop's own call: a file goes to the file manager's D-Bus method ShowItems, and when no
 * file manager answers there its folder is opened with QDesktopServices; a folder is opened with
 * QDesktopServices.
 */
bool callDesktop(const QUrl& url, Target target);

/** Replaces the call that reaches the desktop and returns the one it replaces. */
DesktopCall setDesktopCall(DesktopCall call);

struct Result {
    enum class Outcome {
        /** The file was shown. */
        ShownFile,
        /** The file no longer exists; `folder`, its nearest existing folder, was opened. */
        ShownNearestFolder,
        /** Nothing could be shown (or the path was empty). */
        NotShown,
    };
    Outcome outcome = Outcome::NotShown;
    /** The folder opened in place of a missing file. */
    QString folder;
};

/** Shows `localFile` selected in its folder, or its nearest existing folder when it is gone. */
Result revealInFileManager(const QString& localFile);

}  // namespace FolderReveal
