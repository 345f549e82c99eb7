#include "transfer/ui/cconfirmdialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace {

constexpr int kMaxTitleLength = 259;
const QString kNameField = QStringLiteral("filename");

}  // namespace

CConfirmDialog::CConfirmDialog(QWidget* owner, const QString& title, const QString& prompt,
                               const QString& initialText)
    : SkinnedDialog(QStringLiteral("confirmdialog.xml"), owner) {
    setObjectName(QStringLiteral("ConfirmDialog"));
    const QString shownTitle = title.left(kMaxTitleLength);
    setWindowTitle(shownTitle);
    if (auto* titleLabel = control<QLabel>(QStringLiteral("titleLabel"))) {
        titleLabel->setTextFormat(Qt::PlainText);
        titleLabel->setText(shownTitle);
    }
    if (auto* info = control<QLabel>(QStringLiteral("info"))) {
        info->setTextFormat(Qt::PlainText);
        info->setText(prompt);
    }
    if (auto* field = control<QLineEdit>(kNameField)) {
        field->setText(initialText);
        field->selectAll();
        field->setFocus();
    }

    auto& routes = notifications();
    routes.on(NotificationType::Click, QStringLiteral("btnOK"),
              [this](const Notification&) { confirm(); });
    routes.on(NotificationType::Click, QStringLiteral("btnCancel"),
              [this](const Notification&) { reject(); });
    // The title bar's close button closes the window, which rejects.
}

QString CConfirmDialog::askName(QWidget* owner, const QString& title, const QString& prompt,
                                const QString& initialText) {
    CConfirmDialog dialog(owner, title, prompt, initialText);
    return dialog.exec() == QDialog::Accepted ? dialog.enteredText() : QString();
}

// Enter confirms and Escape cancels without relying on a default button.
void CConfirmDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            confirm();
            return;
        case Qt::Key_Escape:
            event->accept();
            reject();
            return;
        default:
            SkinnedDialog::keyPressEvent(event);
    }
}

void CConfirmDialog::confirm() {
    const auto* field = control<QLineEdit>(kNameField);
    enteredText_ = field ? field->text() : QString();
    accept();
}
