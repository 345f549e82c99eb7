#include "transfer/ui/cprogresswindow.h"

#include <algorithm>
#include <cmath>

#include <QAbstractButton>
#include <QCloseEvent>
#include <QColor>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRect>

#include "app/busyindicator.h"
#include "app/qtextconversion.h"
#include "values/bytesize.h"

namespace {

constexpr int kMaxTitleLength = 259;
const QColor kBusyColour(48, 48, 48);
const QRect kBusyRect(QPoint(220, 90), QSize(50, 50));
const QString kSeparator = QStringLiteral(" \u2014 ");
// The whole text of a one-line label, which shows it elided to its width.
const char* const kFullTextProperty = "fullText";

QString sizeText(int64_t bytes) {
    return toQString(formatByteSize(bytes));
}

QString speedText(double bytesPerSecond) {
    constexpr double kFastest = 1e18;  // far beyond any link, and within int64_t
    const int64_t rounded = std::isfinite(bytesPerSecond) && bytesPerSecond > 0.0
                                ? std::llround(std::min(bytesPerSecond, kFastest))
                                : 0;
    // The size text of 0 is a bare "0".
    return (rounded == 0 ? QStringLiteral("0 bytes") : sizeText(rounded)) + QStringLiteral("/s");
}

QString durationText(int64_t seconds) {
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(std::max<int64_t>(seconds, 0));
    const int64_t minutes = (seconds + 59) / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    const int64_t hours = minutes / 60;
    const int64_t rest = minutes % 60;
    return rest == 0 ? QStringLiteral("%1 h").arg(hours)
                     : QStringLiteral("%1 h %2 min").arg(hours).arg(rest);
}

QString overallText(int64_t bytesDone, int64_t bytesTotal, double bytesPerSecond,
                    std::optional<int64_t> secondsLeft) {
    QString text = sizeText(bytesDone);
    if (bytesTotal > 0)
        text += QStringLiteral(" of ") + sizeText(bytesTotal);
    text += kSeparator + speedText(bytesPerSecond);
    if (bytesTotal > 0 && secondsLeft) {
        text += kSeparator + QStringLiteral("about ") + durationText(*secondsLeft) +
                QStringLiteral(" left");
    }
    return text;
}

// A moving bar while the amount is unknown.
void showProgress(QProgressBar* bar, std::optional<int> percent) {
    if (!bar)
        return;
    if (!percent) {
        bar->setRange(0, 0);
        return;
    }
    bar->setRange(0, 100);
    bar->setValue(std::clamp(*percent, 0, 100));
}

}  // namespace

CProgressWindow::CProgressWindow(QWidget* owner, Mode mode, const QString& title)
    : SkinnedDialog(QStringLiteral("progresswindow.xml"), owner), mode_(mode) {
    setObjectName(QStringLiteral("ProgressWindow"));
    const QString shownTitle = title.left(kMaxTitleLength);
    setWindowTitle(shownTitle);
    if (auto* titleLabel = control<QLabel>(QStringLiteral("titleLabel"))) {
        titleLabel->setTextFormat(Qt::PlainText);
        titleLabel->setText(shownTitle);
    }
    // Paths are shown as they are, never as rich text, and never widen the window.
    for (const char* name : {"workingLabelFile", "workingLabel", "workingLabelOverall"}) {
        if (auto* label = control<QLabel>(QLatin1String(name))) {
            label->setTextFormat(Qt::PlainText);
            label->setSizePolicy(QSizePolicy::Ignored, label->sizePolicy().verticalPolicy());
            label->installEventFilter(this);
        }
    }

    const bool busy = mode == Mode::Busy;
    Controls::setVisible(content(), QStringLiteral("progressContainer"), !busy);
    Controls::setVisible(content(), QStringLiteral("workingLabel"), busy);

    // Enter must not press Cancel, even when Cancel has the focus.
    if (auto* cancel = control<QPushButton>(QStringLiteral("btnCancel")))
        cancel->setAutoDefault(false);
    notifications().on(NotificationType::Click, QStringLiteral("btnCancel"),
                       [this](const Notification&) { requestCancel(); });
    // A close button in the title bar cancels as well instead of closing: drop the chrome's
    // connection that would close the window.
    if (auto* closeButton = control<QAbstractButton>(QStringLiteral("btnClose"))) {
        closeButton->disconnect();
        connect(closeButton, &QAbstractButton::clicked, this, &CProgressWindow::requestCancel);
    }

    setFixedSize(kWidth, kHeight);
    centreOverOwner();

    if (busy) {
        busyIndicator_ = std::make_unique<BusyIndicator>();
        busyIndicator_->start(this, kBusyColour, false, kBusyRect);
    }
}

CProgressWindow::~CProgressWindow() = default;

void CProgressWindow::done(int result) {
    if (busyIndicator_)
        busyIndicator_->stop();
    SkinnedDialog::done(result);
}

void CProgressWindow::setMessage(const QString& text) {
    const bool busy = mode_ == Mode::Busy;
    showLine(
        control<QLabel>(busy ? QStringLiteral("workingLabel") : QStringLiteral("workingLabelFile")),
        text);
}

void CProgressWindow::setFilePercent(int percent) {
    showProgress(control<QProgressBar>(QStringLiteral("workingProgress")),
                 percent < 0 ? std::nullopt : std::optional<int>(percent));
}

void CProgressWindow::setOverall(int64_t bytesDone, int64_t bytesTotal, double bytesPerSecond,
                                 std::optional<int64_t> secondsLeft) {
    auto* bar = control<QProgressBar>(QStringLiteral("workingProgressOverall"));
    std::optional<int> percent;
    if (bytesTotal > 0) {
        const double share =
            static_cast<double>(std::max<int64_t>(bytesDone, 0)) / static_cast<double>(bytesTotal);
        percent = static_cast<int>(std::min(share, 1.0) * 100.0);
    }
    showProgress(bar, percent);
    auto* label = control<QLabel>(QStringLiteral("workingLabelOverall"));
    for (QWidget* overall : {static_cast<QWidget*>(label), static_cast<QWidget*>(bar)}) {
        if (overall)
            overall->show();
    }
    showLine(label, overallText(bytesDone, bytesTotal, bytesPerSecond, secondsLeft));
}

void CProgressWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            event->accept();
            closeEarly();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            SkinnedDialog::keyPressEvent(event);
    }
}

// The owner's close() ends the window quietly; the window system closing it is an early close.
void CProgressWindow::closeEvent(QCloseEvent* event) {
    if (event->spontaneous() && isVisible()) {
        event->accept();
        closeEarly();
        return;
    }
    SkinnedDialog::closeEvent(event);
}

void CProgressWindow::requestCancel() {
    cancelPressed_ = true;
    emit cancelClicked();
}

void CProgressWindow::closeEarly() {
    done(QDialog::Rejected);
    emit closedEarly();
}

// Labels get their widths once the window is laid out and shown; a text set before then is
// elided when its label is shown or resized.
bool CProgressWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
        if (auto* label = qobject_cast<QLabel*>(watched))
            elide(label);
    }
    return SkinnedDialog::eventFilter(watched, event);
}

void CProgressWindow::showLine(QLabel* label, const QString& text) {
    if (!label)
        return;
    label->setProperty(kFullTextProperty, text);
    elide(label);
}

void CProgressWindow::elide(QLabel* label) {
    const QVariant fullText = label->property(kFullTextProperty);
    if (!fullText.isValid())
        return;
    const QString text = fullText.toString();
    const int width = label->contentsRect().width();
    const QString shown = label->isVisible() && width > 0
                              ? label->fontMetrics().elidedText(text, Qt::ElideMiddle, width)
                              : text;
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}
