#include "app/updatemessage.h"

#include "transfer/ui/transferprompts.h"

void UpdateMessage::show(const UpdateCheckResult& result, QWidget* parent) {
    if (result.outcome == UpdateCheckResult::Outcome::Failed) {
        TransferPrompts::showError(parent, tr("Plovik could not check for updates"), result.error);
        return;
    }
    UpdateMessage(result, parent).exec();
}

UpdateMessage::UpdateMessage(const UpdateCheckResult& result, QWidget* parent)
    : QMessageBox(parent) {
    setWindowTitle(tr("Software Update"));
    setStandardButtons(QMessageBox::Close);
    setTextFormat(Qt::RichText);
    // Feed and error texts come from outside: shown as text, never as markup.
    const QString current = result.currentVersion.toHtmlEscaped();
    switch (result.outcome) {
        case UpdateCheckResult::Outcome::UpToDate:
            setIcon(QMessageBox::Information);
            setText(tr("<b>You're up to date!</b><br>Plovik %1 is the newest version available.")
                        .arg(current));
            break;
        case UpdateCheckResult::Outcome::NewerAvailable: {
            setIcon(QMessageBox::Information);
            QString text = tr("<b>A new version of Plovik is available!</b><br>"
                              "Plovik %1 is now available; you have %2.")
                               .arg(result.newest->displayVersion.toHtmlEscaped(), current);
            if (!result.newest->link.isEmpty()) {
                const QString href =
                    QString::fromUtf8(result.newest->link.toEncoded()).toHtmlEscaped();
                text += tr("<br><br><a href=\"%1\">Download Plovik %2</a>")
                            .arg(href, result.newest->displayVersion.toHtmlEscaped());
            }
            setText(text);
            setTextInteractionFlags(Qt::TextBrowserInteraction);
            break;
        }
        case UpdateCheckResult::Outcome::Failed:
            // Shown by show() in the skinned error alert.
            break;
    }
}
