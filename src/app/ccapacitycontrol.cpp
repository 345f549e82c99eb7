#include "app/ccapacitycontrol.h"

#include <QEvent>
#include <QLayout>

namespace {

constexpr double kWholeBar = 10000.0;

}  // namespace

CCapacityControlUI::CCapacityControlUI(QWidget* parent) : QWidget(parent) {
    // The skin draws the bar's track behind the parts.
    setAttribute(Qt::WA_StyledBackground);
}

void CCapacityControlUI::relayout() {
    // Parts whose tag went back to 0 take their ordinary place again.
    if (QLayout* parts = layout()) {
        parts->invalidate();
        parts->activate();
    }
    applyTags();
}

bool CCapacityControlUI::event(QEvent* event) {
    // The layout has already handled the request (it sees events first) and placed every part
    // by the ordinary rules, the tagged ones included.
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest)
        applyTags();
    return handled;
}

void CCapacityControlUI::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    applyTags();
}

void CCapacityControlUI::applyTags() {
    QLayout* parts = layout();
    if (!parts)
        return;
    const QRect inner = contentsRect().marginsRemoved(parts->contentsMargins());
    if (inner.width() <= 0)
        return;
    int x = inner.left();
    for (int index = 0; index < parts->count(); ++index) {
        QWidget* part = parts->itemAt(index)->widget();
        if (!part || part->isHidden())
            continue;
        const int tag = part->property("tag").toInt();
        if (tag == 0)
            continue;
        const int width = static_cast<int>(tag / kWholeBar * inner.width() + 0.5);
        const QRect placed = part->geometry();
        part->setGeometry(x, placed.top(), width, placed.height());
        x += width;
    }
}
