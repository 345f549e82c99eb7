#include "app/devicetreerowdelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QToolTip>

#include "app/devicetreecontrol.h"
#include "app/devicetreemodel.h"
#include "ui/skin.h"

namespace {

constexpr int kLeftMargin = 3;
constexpr int kIndentPerLevel = 12;
constexpr int kImageSize = 16;
constexpr int kGap = 4;
constexpr int kExpanderFrames = 3;
constexpr int kExpandedFrame = 1;
constexpr int kCollapsedFrame = 0;
constexpr int kEmphasisedFont = 5;
constexpr int kFolderFont = 6;
constexpr double kFadedOpacity = 100.0 / 255.0;
constexpr int kSelectionOverImageAlpha = 160;

const QString kExpanderStrip = QStringLiteral(":/skin/tree_expand.svg");
const QString kFolderIcon = QStringLiteral(":/skin/treeicons/folder16.svg");
const QString kTopImage = QStringLiteral(":/skin/tree_top.svg");
const QString kTopFocusedImage = QStringLiteral(":/skin/tree_top_focused.svg");

bool isEmphasised(const DeviceTreeRow& row) {
    return !row.text.icon.isEmpty() || row.fixedHeight > 0;
}

QFont rowFont(const DeviceTreeRow& row) {
    return Skin::font(isEmphasised(row) ? kEmphasisedFont : kFolderFont);
}

int imagesWidth() {
    return kImageSize + kGap + kImageSize + kGap;
}

}  // namespace

DeviceTreeRowDelegate::DeviceTreeRowDelegate(QObject* parent) : QStyledItemDelegate(parent) {
    Skin::initialise();
}

DeviceTreeRowDelegate::~DeviceTreeRowDelegate() = default;

int DeviceTreeRowDelegate::expanderLeft(int level) {
    return kLeftMargin + kIndentPerLevel * std::max(level, 0);
}

void DeviceTreeRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    const DeviceTreeRow* row = DeviceTreeModel::rowAt(index);
    if (!row)
        return;
    const QRect& rect = option.rect;
    painter->save();
    paintBackground(painter, *row, rect, option);

    const int imageTop = rect.top() + (rect.height() - kImageSize) / 2;
    int x = rect.left() + expanderLeft(row->level);
    if (!row->knownEmpty)
        paintExpander(painter, row->expanded, QRect(x, imageTop, kImageSize, kImageSize));
    x += kImageSize + kGap;
    paintImage(painter, row->text.icon.isEmpty() ? kFolderIcon : row->text.icon,
               QRectF(x, imageTop, kImageSize, kImageSize));
    x += kImageSize + kGap;

    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QFont font = rowFont(*row);
    const QRect textRect(x, rect.top(), std::max(rect.right() - x - kGap, 0), rect.height());
    painter->setFont(font);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(
        textRect, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(font).elidedText(row->text.name, Qt::ElideRight, textRect.width()));
    painter->restore();
}

bool DeviceTreeRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                      const QStyleOptionViewItem& option,
                                      const QModelIndex& index) {
    const DeviceTreeRow* row = DeviceTreeModel::rowAt(index);
    if (!row || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    if (sizeHint(option, index).width() > option.rect.width())
        QToolTip::showText(event->globalPos(), row->text.name, view, option.rect);
    else
        QToolTip::hideText();
    return true;
}

QSize DeviceTreeRowDelegate::sizeHint(const QStyleOptionViewItem& /*option*/,
                                      const QModelIndex& index) const {
    const DeviceTreeRow* row = DeviceTreeModel::rowAt(index);
    if (!row)
        return {0, kDefaultRowHeight};
    const int width = expanderLeft(row->level) + imagesWidth() +
                      QFontMetrics(rowFont(*row)).horizontalAdvance(row->text.name) + kGap;
    return {width, row->fixedHeight > 0 ? row->fixedHeight : kDefaultRowHeight};
}

void DeviceTreeRowDelegate::paintBackground(QPainter* painter, const DeviceTreeRow& row,
                                            const QRect& rect,
                                            const QStyleOptionViewItem& option) const {
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    QColor selection = option.palette.color(QPalette::Highlight);
    switch (row.background) {
        case TreeRowBackground::None:
            if (selected)
                painter->fillRect(rect, selection);
            return;
        case TreeRowBackground::Top:
            painter->setOpacity(kFadedOpacity);
            paintImage(painter, kTopImage, rect);
            painter->setOpacity(1.0);
            break;
        case TreeRowBackground::TopOpaque:
            paintImage(painter, kTopImage, rect);
            break;
        case TreeRowBackground::TopFocused:
            // The focused image is the selection look of its row.
            paintImage(painter, kTopFocusedImage, rect);
            return;
    }
    if (selected) {
        selection.setAlpha(kSelectionOverImageAlpha);
        painter->fillRect(rect, selection);
    }
}

void DeviceTreeRowDelegate::paintExpander(QPainter* painter, bool expanded,
                                          const QRect& rect) const {
    const int frame = expanded ? kExpandedFrame : kCollapsedFrame;
    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    renderer(kExpanderStrip)
        .render(painter, QRectF(rect.left() - frame * kImageSize, rect.top(),
                                kExpanderFrames * kImageSize, kImageSize));
    painter->restore();
}

void DeviceTreeRowDelegate::paintImage(QPainter* painter, const QString& resource,
                                       const QRectF& rect) const {
    if (resource.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        renderer(resource).render(painter, rect);
        return;
    }
    const QPixmap image(resource);
    if (!image.isNull())
        painter->drawPixmap(rect, image, QRectF(image.rect()));
}

QSvgRenderer& DeviceTreeRowDelegate::renderer(const QString& resource) const {
    std::unique_ptr<QSvgRenderer>& cached = renderers_[resource];
    if (!cached)
        cached = std::make_unique<QSvgRenderer>(resource);
    return *cached;
}
