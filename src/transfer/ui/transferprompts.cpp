#include "transfer/ui/transferprompts.h"

#include <algorithm>

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QUrl>

#include "app/preferences.h"
#include "transfer/ui/calertdialog.h"

namespace TransferPrompts {

namespace {

const QString kQuestionIcon = QStringLiteral("icons\\help60.png");
const QString kInfoIcon = QStringLiteral("icons\\info60.png");
const QString kErrorIcon = QStringLiteral("icons\\error60.png");

// Skin markup opens tags with "<" and "{"; a word joiner after each keeps a name such as
// "<b>" or "{x 400}" from being read as one, and is not seen.
QString literal(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('<'), QStringLiteral("<\u2060"));
    shown.replace(QLatin1Char('{'), QStringLiteral("{\u2060"));
    return shown;
}

// Device paths use "/", local ones the platform's separator.
QString fileNameOf(const QString& path) {
    const qsizetype cut =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QDir::separator()));
    return path.mid(cut + 1);
}

QString skippedText(int skipped) {
    return skipped == 1 ? QStringLiteral("1 file was skipped")
                        : QStringLiteral("%1 files were skipped").arg(skipped);
}

// "REASON" or "REASON (and N more failed)", as plain text.
QString failureText(const RunOutcome& outcome) {
    QString text =
        outcome.firstFailure.isEmpty() ? QStringLiteral("Copy failed") : outcome.firstFailure;
    if (outcome.failed > 1)
        text += QStringLiteral(" (and %1 more failed)").arg(outcome.failed - 1);
    return text;
}

// " N HEIC photos could not be converted to JPEG and were copied as they are: REASON."
QString notConvertedText(const RunOutcome& outcome) {
    if (outcome.notConverted == 0)
        return {};
    const QString reason = literal(outcome.firstNotConverted);
    return outcome.notConverted == 1
               ? QStringLiteral(
                     " 1 HEIC photo could not be converted to JPEG and was copied as "
                     "it is: %1.")
                     .arg(reason)
               : QStringLiteral(
                     " %1 HEIC photos could not be converted to JPEG and were copied "
                     "as they are; the first: %2.")
                     .arg(QString::number(outcome.notConverted), reason);
}

// A run without failures whose photos were not all converted: told like a partial run.
AlertRequest notConvertedRequest(const QString& destination, bool offerOpenFolder,
                                 const RunOutcome& outcome) {
    AlertRequest request;
    if (offerOpenFolder) {
        request.okText = QStringLiteral("Yes");
        request.cancelText = QStringLiteral("No");
    } else {
        request.cancelText = QStringLiteral("Close");
    }
    request.title = QStringLiteral("Warning");
    request.info = QStringLiteral("Some photos were not converted");
    request.icon = kErrorIcon;
    request.message = QStringLiteral("%1 files were copied to %2.")
                          .arg(QString::number(outcome.copied), literal(destination)) +
                      notConvertedText(outcome);
    if (outcome.skipped > 0)
        request.message += QStringLiteral(" %1.").arg(skippedText(outcome.skipped));
    if (offerOpenFolder)
        request.message += QStringLiteral("\nDo you like to open the folder in the file manager?");
    return request;
}

AlertRequest successRequest(const QString& destination, bool offerOpenFolder,
                            const RunOutcome& outcome) {
    AlertRequest request;
    request.optionText = QStringLiteral("Don't show this message again");
    if (offerOpenFolder && outcome.copied > 0) {
        request.okText = QStringLiteral("Yes");
        request.cancelText = QStringLiteral("No");
    } else {
        request.cancelText = QStringLiteral("Close");
    }
    request.title = QStringLiteral("Information");
    request.icon = kInfoIcon;
    const QString shownDestination = literal(destination);
    if (outcome.copied == 0) {
        request.info = QStringLiteral("Nothing was copied");
        request.message = QStringLiteral("%1: they are already in %2 and were kept.")
                              .arg(skippedText(outcome.skipped), shownDestination);
        return request;
    }
    request.info = QStringLiteral("Successfully Done!");
    if (outcome.skipped > 0) {
        request.message = QStringLiteral("%1 copied to %2, %3 skipped.")
                              .arg(QString::number(outcome.copied), shownDestination,
                                   QString::number(outcome.skipped));
        if (offerOpenFolder)
            request.message += QStringLiteral(" Do you like to open the folder in the file manager?");
        return request;
    }
    request.message =
        offerOpenFolder
            ? QStringLiteral(
                  "Files were successfully copied to %1, do you like "
                  "to open the folder in the file manager?")
                  .arg(shownDestination)
            : QStringLiteral("Files were successfully copied to %1.").arg(shownDestination);
    return request;
}

AlertRequest partialRequest(const QString& destination, bool offerOpenFolder,
                            const RunOutcome& outcome) {
    AlertRequest request;
    if (offerOpenFolder) {
        request.okText = QStringLiteral("Yes");
        request.cancelText = QStringLiteral("No");
    } else {
        request.cancelText = QStringLiteral("Close");
    }
    request.title = QStringLiteral("Warning");
    request.info = QStringLiteral("Some files were not copied");
    request.icon = kErrorIcon;
    // One arg() call: a "%" in the destination is never taken for a later placeholder.
    request.message =
        QStringLiteral("%1 of %2 files were copied to %3; %4 failed: %5.")
            .arg(QString::number(outcome.copied), QString::number(outcome.copied + outcome.failed),
                 literal(destination), QString::number(outcome.failed),
                 literal(failureText(outcome)));
    if (outcome.skipped > 0)
        request.message += QStringLiteral(" %1.").arg(skippedText(outcome.skipped));
    request.message += notConvertedText(outcome);
    request.message += QStringLiteral(" The Transfers window lists each file.");
    if (offerOpenFolder)
        request.message += QStringLiteral("\nDo you like to open the folder in the file manager?");
    return request;
}

}  // namespace

bool askOverwrite(QWidget* owner, const QString& path, int& overwriteAnswer,
                  bool& cancelRequested) {
    if (overwriteAnswer == OverwriteAll)
        return true;
    if (overwriteAnswer == SkipAll)
        return false;

    AlertRequest request;
    request.title = QStringLiteral("Overwrite");
    request.info = QStringLiteral("File already exists!");
    request.message = QStringLiteral(
                          "The file %1 already exists, do you want to overwrite the existing "
                          "file?")
                          .arg(literal(fileNameOf(path)));
    request.icon = kQuestionIcon;
    request.optionText = QStringLiteral("Do this operation on all items?");
    request.okText = QStringLiteral("Overwrite");
    request.cancelText = QStringLiteral("Skip");
    request.otherText = QStringLiteral("Cancel");

    bool forAll = false;
    const AlertResult result = CAlertDialog::showAlert(owner, request, &forAll);
    if (result == AlertResult::Other) {
        cancelRequested = true;
        return false;
    }
    const bool overwrite = result == AlertResult::Ok;
    if (forAll)
        overwriteAnswer = overwrite ? OverwriteAll : SkipAll;
    return overwrite;
}

void showCompletionMessage(QWidget* owner, const QString& destination, bool offerOpenFolder,
                           const RunOutcome& outcome) {
    if (outcome.failed > 0 && outcome.copied == 0) {
        showError(owner, QStringLiteral("No file was copied"),
                  QStringLiteral("None of the %1 files could be copied to %2: %3. The Transfers "
                                 "window lists each file.")
                      .arg(QString::number(outcome.failed), destination, failureText(outcome)));
        return;
    }
    if (outcome.failed > 0) {
        const AlertResult result =
            CAlertDialog::showAlert(owner, partialRequest(destination, offerOpenFolder, outcome));
        if (offerOpenFolder && result == AlertResult::Ok)
            openFolder(owner, destination);
        return;
    }
    if (outcome.notConverted > 0) {
        const AlertResult result = CAlertDialog::showAlert(
            owner, notConvertedRequest(destination, offerOpenFolder, outcome));
        if (offerOpenFolder && result == AlertResult::Ok)
            openFolder(owner, destination);
        return;
    }
    if (outcome.copied + outcome.skipped == 0 ||
        !Preferences::readSwitch(Preferences::Switch::ShowTransferMessage))
        return;
    bool dontShowAgain = false;
    const AlertResult result = CAlertDialog::showAlert(
        owner, successRequest(destination, offerOpenFolder, outcome), &dontShowAgain);
    Preferences::writeSwitch(Preferences::Switch::ShowTransferMessage, !dontShowAgain);
    if (offerOpenFolder && outcome.copied > 0 && result == AlertResult::Ok)
        openFolder(owner, destination);
}

void showError(QWidget* owner, const QString& info, const QString& message) {
    AlertRequest request;
    request.title = QStringLiteral("Error");
    request.info = literal(info);
    request.message = literal(message);
    request.icon = kErrorIcon;
    request.cancelText = QStringLiteral("Close");
    CAlertDialog::showAlert(owner, request);
}

void openFolder(QWidget* owner, const QString& folder) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        showError(owner, QStringLiteral("The folder could not be opened"),
                  QStringLiteral("No file manager answered for %1.").arg(folder));
}

bool askImportAllAgain(QWidget* owner, const QString& deviceName, const ImportCounts& counts) {
    AlertRequest request;
    request.title = QStringLiteral("Import");
    request.info = QStringLiteral("Nothing new to import");
    request.icon = kInfoIcon;
    request.message = counts.found == 0
                          ? QStringLiteral("The camera roll of %1 holds no photos or videos.")
                                .arg(literal(deviceName))
                          : QStringLiteral("All %1 photos and videos on %2 were imported before.")
                                .arg(QString::number(counts.found), literal(deviceName));
    request.cancelText = QStringLiteral("Close");
    if (counts.found > 0)
        request.okText = QStringLiteral("Import All Again");
    return CAlertDialog::showAlert(owner, request) == AlertResult::Ok;
}

bool confirmImport(QWidget* owner, const QString& deviceName, const QString& destination,
                   const ImportCounts& counts, bool all, bool& byMonth) {
    AlertRequest request;
    request.title = QStringLiteral("Import");
    request.icon = kQuestionIcon;
    const int newFiles = counts.found - counts.importedBefore;
    request.info = all ? QStringLiteral("Import all %1 photos and videos again").arg(counts.found)
                   : newFiles == 1
                       ? QStringLiteral("Import 1 new photo or video")
                       : QStringLiteral("Import %1 new photos and videos").arg(newFiles);
    request.message =
        QStringLiteral(
            "%1 of the %2 photos and videos on %3 are new; %4 were "
            "imported before. They will be copied to %5.")
            .arg(QString::number(newFiles), QString::number(counts.found), literal(deviceName),
                 QString::number(counts.importedBefore), literal(destination));
    request.optionText = QStringLiteral("Put them in year and month folders");
    request.okText = QStringLiteral("Import");
    request.cancelText = QStringLiteral("Cancel");
    CAlertDialog dialog(owner, request);
    if (auto* option = dialog.findChild<QCheckBox*>(QStringLiteral("option")))
        option->setChecked(byMonth);
    const int result = dialog.exec();
    byMonth = dialog.isOptionChecked();
    return result == static_cast<int>(AlertResult::Ok);
}

void showImportMessage(QWidget* owner, const QString& destination, const RunOutcome& outcome,
                       const ImportCounts& counts) {
    AlertRequest request;
    request.title = QStringLiteral("Import");
    const int newFiles = counts.found - counts.importedBefore;
    request.info = outcome.failed > 0 ? QStringLiteral("Some photos were not imported")
                                      : QStringLiteral("Import finished");
    request.icon = outcome.failed > 0 ? kErrorIcon : kInfoIcon;
    request.message = QStringLiteral(
                          "%1 of the %2 photos and videos were new; %3 copied to %4, "
                          "%5 skipped, %6 failed")
                          .arg(QString::number(newFiles), QString::number(counts.found),
                               QString::number(outcome.copied), literal(destination),
                               QString::number(outcome.skipped), QString::number(outcome.failed));
    request.message += outcome.failed > 0
                           ? QStringLiteral(": %1.").arg(literal(failureText(outcome)))
                           : QStringLiteral(".");
    if (counts.importedBefore > 0)
        request.message +=
            QStringLiteral(" %1 imported before were not copied again.").arg(counts.importedBefore);
    request.message += notConvertedText(outcome);
    if (outcome.copied > 0) {
        request.message += QStringLiteral("\nDo you like to open the folder?");
        request.okText = QStringLiteral("Yes");
        request.cancelText = QStringLiteral("No");
    } else {
        request.cancelText = QStringLiteral("Close");
    }
    if (CAlertDialog::showAlert(owner, request) == AlertResult::Ok)
        openFolder(owner, destination);
}

void openPage(QWidget* owner, const QUrl& page) {
    if (!QDesktopServices::openUrl(page))
        showError(owner, QStringLiteral("The page could not be opened"),
                  QStringLiteral("No web browser answered for %1.").arg(page.toString()));
}

}  // namespace TransferPrompts
