#include "transfer/ui/transferhistoryrowdelegate.h"

#include <algorithm>
#include <utility>

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QToolTip>

#include "transfer/transferrecord.h"
#include "transfer/ui/transferhistorymodel.h"
#include "ui/controls.h"
#include "ui/layoutloader.h"
#include "ui/skin.h"

namespace {

using Mark = TransferHistoryModel::Mark;

constexpr int kStatusMarkSize = 12;
const QColor kFailedColour(0xD9, 0x30, 0x25);
const QColor kCopiedColour(0x2E, 0x9E, 0x5B);
const QColor kSkippedColour(0xE3, 0x9B, 0x0B);
const QColor kCancelledColour(0x7A, 0x82, 0x90);
const QColor kInProgressColour(0x2F, 0x7F, 0xD8);

QRect geometryOf(const QWidget* control) {
    return control ? control->geometry() : QRect();
}

// One button area serves every row, whichever text the row's button shows.
void fitButtonToEveryText(QPushButton* button) {
    const QString own = button->text();
    int width = 0;
    for (const QString& text : TransferHistoryModel::showFileTexts()) {
        button->setText(text);
        width = std::max(width, button->sizeHint().width());
    }
    button->setText(own);
    button->setMinimumWidth(width);
}

// White signs on a coloured disc; the usual outcome, copied, is the quiet one.
void paintSign(QPainter* painter, const QRectF& mark, Mark kind) {
    const QRectF inner = mark.adjusted(3.5, 3.5, -3.5, -3.5);
    switch (kind) {
        case Mark::Copied: {
            painter->setPen(QPen(kCopiedColour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            const QPointF check[] = {
                {mark.left() + mark.width() * 0.27, mark.top() + mark.height() * 0.52},
                {mark.left() + mark.width() * 0.44, mark.top() + mark.height() * 0.70},
                {mark.left() + mark.width() * 0.74, mark.top() + mark.height() * 0.32},
            };
            painter->drawPolyline(check, 3);
            break;
        }
        case Mark::Failed:
            painter->setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
            painter->drawLine(inner.topLeft(), inner.bottomRight());
            painter->drawLine(inner.topRight(), inner.bottomLeft());
            break;
        case Mark::Skipped:
            painter->setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
            painter->drawLine(QPointF(inner.left(), inner.center().y()),
                              QPointF(inner.right(), inner.center().y()));
            break;
        case Mark::Cancelled:
            painter->setPen(Qt::NoPen);
            painter->setBrush(Qt::white);
            painter->drawRect(inner.adjusted(0.5, 0.5, -0.5, -0.5));
            break;
        case Mark::InProgress:
        case Mark::None:
            break;
    }
}

QColor discColour(Mark kind) {
    switch (kind) {
        case Mark::Failed:
            return kFailedColour;
        case Mark::Skipped:
            return kSkippedColour;
        case Mark::Cancelled:
            return kCancelledColour;
        case Mark::Copied:
        case Mark::InProgress:
        case Mark::None:
            break;
    }
    return Qt::white;
}

}  // namespace

TransferHistoryRowDelegate::TransferHistoryRowDelegate(QAbstractItemView* view)
    : QStyledItemDelegate(view),
      view_(view),
      viewport_(view->viewport()),
      toLocal_(QStringLiteral(":/skin/to_local.svg")),
      toDevice_(QStringLiteral(":/skin/to_device.svg")) {
    LayoutLoader loader;
    row_.reset(loader.loadLayout(QStringLiteral("transfertask.xml")));
    if (row_) {
        row_->setStyleSheet(Skin::styleSheet());
        row_->setFont(Skin::font(0));
        direction_ = Controls::find<QToolButton>(row_.get(), QStringLiteral("btnTransfer"));
        fileName_ = Controls::find<QLabel>(row_.get(), QStringLiteral("filename"));
        devicePath_ = Controls::find<QLabel>(row_.get(), QStringLiteral("devicepath"));
        dateTime_ = Controls::find<QLabel>(row_.get(), QStringLiteral("datetime"));
        openFolder_ = Controls::find<QPushButton>(row_.get(), QStringLiteral("btnOpenFolder"));
        // The texts take the width the icon and the button leave; paths are elided to it.
        for (QLabel* text : {fileName_, devicePath_, dateTime_}) {
            if (text)
                text->setSizePolicy(QSizePolicy::Expanding, text->sizePolicy().verticalPolicy());
        }
        row_->ensurePolished();
        // Measured with the skin's font and padding, which polishing applies.
        if (openFolder_)
            fitButtonToEveryText(openFolder_);
    }
    view_->viewport()->setMouseTracking(true);
    view_->viewport()->installEventFilter(this);
}

TransferHistoryRowDelegate::~TransferHistoryRowDelegate() = default;

const TransferHistoryRowDelegate::RowAreas& TransferHistoryRowDelegate::areasFor(int width) const {
    if (width == areasWidth_ || !row_ || !row_->layout())
        return areas_;
    row_->layout()->setGeometry(QRect(0, 0, width, rowHeight()));
    areas_.direction = geometryOf(direction_);
    areas_.status = areas_.direction.isEmpty()
                        ? QRect()
                        : QRect(areas_.direction.right() - kStatusMarkSize + 1,
                                areas_.direction.bottom() - kStatusMarkSize + 1, kStatusMarkSize,
                                kStatusMarkSize);
    areas_.fileName = geometryOf(fileName_);
    areas_.devicePath = geometryOf(devicePath_);
    areas_.dateTime = geometryOf(dateTime_);
    areas_.openFolder = geometryOf(openFolder_);
    areasWidth_ = width;
    return areas_;
}

int TransferHistoryRowDelegate::rowHeight() const {
    return std::clamp(row_->sizeHint().height(), row_->minimumHeight(), row_->maximumHeight());
}

QRect TransferHistoryRowDelegate::areaRect(const QRect& rowRect, Area area) const {
    const RowAreas& areas = areasFor(rowRect.width());
    QRect rect;
    switch (area) {
        case Area::Direction:
            rect = areas.direction;
            break;
        case Area::Status:
            rect = areas.status;
            break;
        case Area::FileName:
            rect = areas.fileName;
            break;
        case Area::DevicePath:
            rect = areas.devicePath;
            break;
        case Area::DateTime:
            rect = areas.dateTime;
            break;
        case Area::OpenFolder:
            rect = areas.openFolder;
            break;
        case Area::None:
            break;
    }
    return rect.isEmpty() ? QRect() : rect.translated(rowRect.topLeft());
}

TransferHistoryRowDelegate::Area TransferHistoryRowDelegate::areaAt(const QRect& rowRect,
                                                                    QPoint position) const {
    // The status mark lies on the icon's corner and wins there.
    for (Area area : {Area::Status, Area::Direction, Area::FileName, Area::DevicePath,
                      Area::DateTime, Area::OpenFolder}) {
        if (areaRect(rowRect, area).contains(position))
            return area;
    }
    return Area::None;
}

QString TransferHistoryRowDelegate::toolTipAt(const QRect& rowRect, QPoint position,
                                              const QModelIndex& index) const {
    switch (areaAt(rowRect, position)) {
        case Area::Status:
            return index.data(TransferHistoryModel::StatusTextRole).toString();
        case Area::Direction:
            return index.data(TransferHistoryModel::DirectionTextRole).toString();
        case Area::FileName:
            return index.data(TransferHistoryModel::LocalFileRole).toString();
        case Area::DevicePath:
            return index.data(TransferHistoryModel::DeviceTextRole).toString();
        default:
            return {};
    }
}

void TransferHistoryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
    if (!row_) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, painter, widget);

    const QRect& row = option.rect;
    const QString localFile = index.data(TransferHistoryModel::LocalFileRole).toString();
    painter->save();
    if (direction_) {
        const QIcon& icon =
            index.data(TransferHistoryModel::FromDeviceRole).toBool() ? toLocal_ : toDevice_;
        QRect iconRect(QPoint(0, 0), direction_->iconSize());
        iconRect.moveCenter(areaRect(row, Area::Direction).center());
        icon.paint(painter, iconRect);
    }
    paintMark(painter, areaRect(row, Area::Status), index);
    paintText(painter, areaRect(row, Area::FileName), fileName_, localFile);
    paintText(painter, areaRect(row, Area::DevicePath), devicePath_,
              index.data(TransferHistoryModel::DeviceTextRole).toString());
    paintText(painter, areaRect(row, Area::DateTime), dateTime_,
              index.data(TransferHistoryModel::TimeTextRole).toString());
    paintButton(painter, areaRect(row, Area::OpenFolder),
                index.data(TransferHistoryModel::ShowFileTextRole).toString(), !localFile.isEmpty(),
                hoveredButton_ == index, pressedButton_ == index);
    painter->restore();
}

QSize TransferHistoryRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const {
    if (!row_)
        return QStyledItemDelegate::sizeHint(option, index);
    return QSize(0, rowHeight());
}

bool TransferHistoryRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                           const QStyleOptionViewItem& option,
                                           const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString text = toolTipAt(option.rect, event->pos(), index);
    if (text.isEmpty()) {
        QToolTip::hideText();
        return false;
    }
    QToolTip::showText(event->globalPos(), text, view->viewport(),
                       areaRect(option.rect, areaAt(option.rect, event->pos())));
    return true;
}

// The buttons are handled before the view sees the mouse, so that a click on one neither selects
// nor drags its row.
bool TransferHistoryRowDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (watched != viewport_)
        return false;
    switch (event->type()) {
        case QEvent::MouseMove: {
            QModelIndex index;
            isOverButton(static_cast<QMouseEvent*>(event)->position().toPoint(), &index);
            setHoveredButton(index);
            return false;
        }
        case QEvent::Leave:
            setHoveredButton(QModelIndex());
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            QModelIndex index;
            if (mouse->button() != Qt::LeftButton ||
                !isOverButton(mouse->position().toPoint(), &index)) {
                return false;
            }
            pressedButton_ = index;
            view_->update(index);
            return true;
        }
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || !pressedButton_.isValid())
                return false;
            QModelIndex index;
            const bool released = isOverButton(mouse->position().toPoint(), &index);
            const QPersistentModelIndex pressed = std::exchange(pressedButton_, {});
            view_->update(pressed);
            if (released && index == pressed)
                emit openFolderClicked(index.data(TransferHistoryModel::LocalFileRole).toString());
            return true;
        }
        default:
            return false;
    }
}

bool TransferHistoryRowDelegate::isOverButton(QPoint position, QModelIndex* index) const {
    const QModelIndex under = view_->indexAt(position);
    if (!under.isValid() || under.data(TransferHistoryModel::LocalFileRole).toString().isEmpty() ||
        under.data(TransferHistoryModel::ShowFileTextRole).toString().isEmpty())
        return false;
    if (areaAt(view_->visualRect(under), position) != Area::OpenFolder)
        return false;
    *index = under;
    return true;
}

void TransferHistoryRowDelegate::setHoveredButton(const QModelIndex& index) {
    if (hoveredButton_ == index)
        return;
    const QPersistentModelIndex previous = std::exchange(hoveredButton_, index);
    if (previous.isValid())
        view_->update(previous);
    if (index.isValid()) {
        view_->update(index);
        view_->viewport()->setCursor(Qt::PointingHandCursor);
    } else {
        view_->viewport()->unsetCursor();
    }
}

void TransferHistoryRowDelegate::paintText(QPainter* painter, const QRect& rect,
                                           const QLabel* style, const QString& text) const {
    if (rect.isEmpty() || !style)
        return;
    painter->setFont(style->font());
    painter->setPen(style->palette().color(QPalette::WindowText));
    const QRect textRect = rect - style->contentsMargins();
    const QString shown =
        QFontMetrics(style->font())
            .elidedText(text, Qt::ElideMiddle, textRect.width(), Qt::TextSingleLine);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

void TransferHistoryRowDelegate::paintButton(QPainter* painter, const QRect& rect,
                                             const QString& text, bool enabled, bool hovered,
                                             bool pressed) const {
    if (rect.isEmpty() || !openFolder_ || text.isEmpty())
        return;
    QStyleOptionButton button;
    button.initFrom(openFolder_);
    button.rect = rect;
    button.text = text;
    button.state &= ~(QStyle::State_Enabled | QStyle::State_MouseOver | QStyle::State_HasFocus);
    if (enabled)
        button.state |= QStyle::State_Enabled;
    if (enabled && hovered)
        button.state |= QStyle::State_MouseOver;
    button.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
    painter->setFont(openFolder_->font());
    // The button's own style is the skin's, so that the link look of its role applies.
    openFolder_->style()->drawControl(QStyle::CE_PushButton, &button, painter, openFolder_);
}

void TransferHistoryRowDelegate::paintMark(QPainter* painter, const QRect& rect,
                                           const QModelIndex& index) {
    const auto kind = index.data(TransferHistoryModel::MarkRole).value<Mark>();
    if (rect.isEmpty() || kind == Mark::None)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF mark = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    painter->setPen(QPen(Qt::white, 1.0));
    painter->setBrush(discColour(kind));
    painter->drawEllipse(mark);
    if (kind == Mark::InProgress) {
        // A ring, filled clockwise from the top as the file arrives.
        const QRectF ring = mark.adjusted(1.5, 1.5, -1.5, -1.5);
        painter->setPen(QPen(kInProgressColour, 1.4));
        painter->setBrush(Qt::NoBrush);
        painter->drawEllipse(ring);
        const double progress = index.data(TransferHistoryModel::ProgressRole).toDouble();
        if (progress > 0) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(kInProgressColour);
            painter->drawPie(ring, 90 * 16, -static_cast<int>(progress * 360 * 16));
        }
    } else {
        paintSign(painter, mark, kind);
    }
    painter->restore();
}
