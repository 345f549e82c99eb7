#include "app/listheaderview.h"

#include <QPainter>
#include <algorithm>

#include "app/listviewdatasource.h"

namespace {

constexpr int kTitleInset = 4;
// The sort mark sits right-aligned in a box from 24 to 4 pixels left of the section's right edge.
constexpr int kMarkBoxLeft = 24;
constexpr int kMarkBoxRight = 4;
const QChar kAscendingMark(0x25B2);
const QChar kDescendingMark(0x25BC);

}  // namespace

ListHeaderView::ListHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setSortIndicatorShown(false);
    setStretchLastSection(false);
}

void ListHeaderView::setColours(const QColor& listBackground, const QColor& text) {
    listBackground_ = listBackground;
    text_ = text;
    viewport()->update();
}

QColor ListHeaderView::lightened(const QColor& colour, int amount) {
    const auto raise = [amount](int channel) { return std::min(255, channel + amount); };
    return QColor(raise(colour.red()), raise(colour.green()), raise(colour.blue()), colour.alpha());
}

void ListHeaderView::paintEvent(QPaintEvent* event) {
    QHeaderView::paintEvent(event);
    const int end = length() - offset();
    if (end < viewport()->width()) {
        QPainter painter(viewport());
        painter.fillRect(QRect(end, 0, viewport()->width() - end, viewport()->height()), fill());
    }
}

void ListHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    painter->fillRect(rect, fill());
    painter->setFont(font());
    painter->setPen(text_);
    const QRect titleRect = rect.adjusted(kTitleInset, 0, -kTitleInset, 0);
    const QString title =
        model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      painter->fontMetrics().elidedText(title, Qt::ElideRight, titleRect.width()));
    if (dataSource_ && dataSource_->sortColumn() == logicalIndex) {
        const QRect markBox(rect.right() + 1 - kMarkBoxLeft, rect.y(), kMarkBoxLeft - kMarkBoxRight,
                            rect.height());
        painter->setPen(markColour());
        painter->drawText(markBox, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                          dataSource_->sortAscending() ? kAscendingMark : kDescendingMark);
    }
    painter->restore();
}

QColor ListHeaderView::markColour() const {
    // On a light background both lightenings reach white; the mark would vanish.
    const QColor mark = lightened(listBackground_, 80);
    return mark == fill() ? text_ : mark;
}
