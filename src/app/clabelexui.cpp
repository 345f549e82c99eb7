#include "app/clabelexui.h"

#include <QDynamicPropertyChangeEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace {

// The layout attribute, set by the loader as a dynamic property.
const char* const kPathEllipsisProperty = "pathellipsis";

}  // namespace

CLabelExUI::CLabelExUI(QWidget* parent) : QLabel(parent) {}

void CLabelExUI::setPathEllipsis(bool on) {
    if (on == pathEllipsis_)
        return;
    pathEllipsis_ = on;
    if (on)
        setWordWrap(false);
    updateGeometry();
    update();
}

QString CLabelExUI::shownText() const {
    if (!pathEllipsis_)
        return text();
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, textArea().width());
}

QSize CLabelExUI::minimumSizeHint() const {
    const QSize plain = QLabel::minimumSizeHint();
    if (!pathEllipsis_)
        return plain;
    const QMargins frame = contentsMargins();
    const int width = fontMetrics().horizontalAdvance(QChar(0x2026)) + 2 * margin() + frame.left() +
                      frame.right();
    return {width, plain.height()};
}

bool CLabelExUI::event(QEvent* event) {
    if (event->type() == QEvent::DynamicPropertyChange &&
        static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName() == kPathEllipsisProperty)
        setPathEllipsis(property(kPathEllipsisProperty).toString() == QLatin1String("true"));
    // A shortened text without a tool tip of its own shows itself whole as one.
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty() && shownText() != text()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        return true;
    }
    return QLabel::event(event);
}

void CLabelExUI::paintEvent(QPaintEvent* event) {
    if (!pathEllipsis_) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, textArea(),
                          static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())),
                          palette(), isEnabled(), shownText(), foregroundRole());
}

QRect CLabelExUI::textArea() const {
    const int padding = margin();
    return contentsRect().adjusted(padding, padding, -padding, -padding);
}
