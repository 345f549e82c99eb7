#include "transfer/ui/calertdialog.h"

#include <algorithm>

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QThread>

#include "ui/skin.h"
#include "ui/skinmarkup.h"

namespace {

constexpr int kFooterHeight = 40;
constexpr int kFooterHeightWithOption = 70;
constexpr int kTextSpacing = 10;

void setButton(QAbstractButton* button, const QString& text) {
    if (!button)
        return;
    button->setText(text);
    button->setVisible(!text.isEmpty());
    // Enter is the alert's own: a focused button must not take it.
    if (auto* push = qobject_cast<QPushButton*>(button))
        push->setAutoDefault(false);
}

// Lays out every nested layout now: a hidden dialog's inner layouts would otherwise wait until it
// is shown.
void activateLayouts(QWidget* root) {
    if (root->layout())
        root->layout()->activate();
    for (QWidget* child : root->findChildren<QWidget*>()) {
        if (child->layout())
            child->layout()->activate();
    }
}

int textHeight(const QLabel* label) {
    if (!label || label->text().isEmpty())
        return 0;
    return label->heightForWidth(label->width());
}

}  // namespace

CAlertDialog::CAlertDialog(QWidget* owner, const AlertRequest& request)
    : SkinnedDialog(QStringLiteral("alert.xml"), owner) {
    setObjectName(QStringLiteral("AlertWindow"));
    const auto finishWith = [this](AlertResult result) {
        return [this, result](const Notification&) { done(static_cast<int>(result)); };
    };
    auto& routes = notifications();
    routes.on(NotificationType::Click, QStringLiteral("btnOK"), finishWith(AlertResult::Ok));
    routes.on(NotificationType::Click, QStringLiteral("btnCancel"),
              finishWith(AlertResult::Cancel));
    routes.on(NotificationType::Click, QStringLiteral("btnOther"), finishWith(AlertResult::Other));
    fill(request);
}

AlertResult CAlertDialog::showAlert(QWidget* owner, const AlertRequest& request,
                                    bool* optionChecked) {
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    CAlertDialog alert(owner, request);
    const int result = alert.exec();
    if (optionChecked)
        *optionChecked = alert.isOptionChecked();
    return static_cast<AlertResult>(result);
}

bool CAlertDialog::isOptionChecked() const {
    const auto* option = control<QCheckBox>(QStringLiteral("option"));
    return option && option->isVisibleTo(this) && option->isChecked();
}

// The title bar's close button and closing the window end the alert as Cancel does.
void CAlertDialog::reject() {
    done(static_cast<int>(AlertResult::Cancel));
}

void CAlertDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter presses the alert's default button, whichever button has the focus: the
            // first one, or Cancel when it stands alone.
            for (const char* name : {"btnOK", "btnCancel"}) {
                auto* button = control<QAbstractButton>(QLatin1String(name));
                if (button && button->isVisibleTo(this)) {
                    button->click();
                    break;
                }
            }
            event->accept();
            return;
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            SkinnedDialog::keyPressEvent(event);
    }
}

void CAlertDialog::fill(const AlertRequest& request) {
    if (!request.title.isEmpty()) {
        setWindowTitle(request.title);
        if (auto* title = control<QLabel>(QStringLiteral("titleLabel"))) {
            title->setText(request.title);
        }
    }
    if (!request.info.isEmpty())
        SkinMarkup::show(control<QLabel>(QStringLiteral("info")), request.info);
    if (!request.message.isEmpty()) {
        SkinMarkup::show(control<QLabel>(QStringLiteral("message")), request.message);
    }

    auto* icon = control<QLabel>(QStringLiteral("icon"));
    const bool iconShown = !request.icon.isEmpty();
    if (icon && iconShown) {
        const QSize size = icon->minimumSize().isEmpty() ? QSize(60, 60) : icon->minimumSize();
        icon->setPixmap(Skin::pixmap(request.icon, size, devicePixelRatioF()));
    }
    Controls::setVisible(content(), QStringLiteral("infoLeft"), iconShown);

    setButton(control<QAbstractButton>(QStringLiteral("btnOK")), request.okText);
    setButton(control<QAbstractButton>(QStringLiteral("btnCancel")), request.cancelText);
    setButton(control<QAbstractButton>(QStringLiteral("btnOther")), request.otherText);

    const bool optionShown = !request.optionText.isEmpty();
    Controls::setVisible(content(), QStringLiteral("optionHolder"), optionShown);
    if (auto* option = control<QCheckBox>(QStringLiteral("option"))) {
        option->setText(request.optionText);
        option->setChecked(false);
    }
    if (auto* footer = control(QStringLiteral("footer"))) {
        footer->setFixedHeight(optionShown ? kFooterHeightWithOption : kFooterHeight);
    }
    fitHeight(optionShown, iconShown);
}

void CAlertDialog::fitHeight(bool optionShown, bool iconShown) {
    // Lay the dialog out at its width first, so that the labels have the widths they will wrap at.
    ensurePolished();
    setFixedWidth(kWidth);
    resize(kWidth, height());
    activateLayouts(this);

    int textBlock = textHeight(control<QLabel>(QStringLiteral("info"))) +
                    textHeight(control<QLabel>(QStringLiteral("message"))) + kTextSpacing;
    const auto* icon = control<QLabel>(QStringLiteral("icon"));
    if (iconShown && icon)
        textBlock = std::max(textBlock, icon->minimumHeight());
    const int chrome = optionShown ? kChromeHeightWithOption : kChromeHeight;

    // Grow or shrink evenly above and below, so the alert stays where it was centred.
    const int newHeight = textBlock + chrome;
    const int shift = (newHeight - height()) / 2;
    setFixedHeight(newHeight);
    move(x(), y() - shift);
}
