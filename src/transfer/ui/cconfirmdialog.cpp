#include "transfer/ui/cconfirmdialog.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace {

constexpr int kMaxTitleLength = 259;
const QString kNameField = QStringLiteral("filename");

// "IMG_0001.HEIC" selects "IMG_0001"; a name that starts with its only dot is all name.
void selectNameWithoutExtension(QLineEdit* field) {
    const qsizetype dot = field->text().lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        field->setSelection(0, static_cast<int>(dot));
    else
        field->selectAll();
}

}  // namespace

CConfirmDialog::CConfirmDialog(QWidget* owner, const QString& title, const QString& prompt,
                               const QString& initialText, Selection selection)
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
        if (selection == Selection::NameWithoutExtension)
            selectNameWithoutExtension(field);
        else
            field->selectAll();
        field->setFocus();
        if (auto* ok = control<QAbstractButton>(QStringLiteral("btnOK"))) {
            ok->setEnabled(!initialText.isEmpty());
            connect(field, &QLineEdit::textChanged, ok,
                    [ok](const QString& text) { ok->setEnabled(!text.isEmpty()); });
        }
    }

    auto& routes = notifications();
    routes.on(NotificationType::Click, QStringLiteral("btnOK"),
              [this](const Notification&) { confirm(); });
    routes.on(NotificationType::Click, QStringLiteral("btnCancel"),
              [this](const Notification&) { reject(); });
    // The title bar's close button closes the window, which rejects.
}

QString CConfirmDialog::askName(QWidget* owner, const QString& title, const QString& prompt,
                                const QString& initialText, const NameAction& action,
                                Selection selection) {
    CConfirmDialog dialog(owner, title, prompt, initialText, selection);
    dialog.setNameAction(action);
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
    auto* field = control<QLineEdit>(kNameField);
    const QString text = field ? field->text() : QString();
    if (text.isEmpty())
        return;
    if (action_ && !action_(text, this)) {
        if (field)
            field->setFocus();
        return;
    }
    enteredText_ = text;
    accept();
}
