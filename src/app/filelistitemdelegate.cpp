#include "app/filelistitemdelegate.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QTreeView>
#include <algorithm>
#include <utility>

#include "app/filelistmodel.h"
#include "app/imagefit.h"

namespace {

constexpr int kInset = 4;
// The large styles and tiles keep the bottom of each cell free of the selection, as a gap.
constexpr int kSelectionGap = 10;
constexpr int kTileTextGap = 6;
constexpr int kNameGap = 6;
constexpr int kNameLines = 2;
constexpr int kNameRoom = 24;

int lineHeight(const QFontMetrics& metrics) {
    return metrics.lineSpacing();
}

void drawElided(QPainter& painter, const QRect& rect, const QString& text, int alignment) {
    const QString elided = painter.fontMetrics().elidedText(text, Qt::ElideRight, rect.width());
    painter.drawText(rect, alignment | Qt::TextSingleLine, elided);
}

// The name under a large image: wrapped over up to maxLines centred lines, the last one cut with
// an ellipsis.
void drawWrappedName(QPainter& painter, const QRect& rect, const QString& name, int maxLines) {
    const QFontMetrics metrics = painter.fontMetrics();
    QTextLayout layout(name, painter.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QRect lineRect(rect.x(), rect.y(), rect.width(), lineHeight(metrics));
    for (int lines = 0; lines < maxLines; ++lines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(rect.width());
        const bool last = lines == maxLines - 1;
        const QString text =
            last ? metrics.elidedText(name.mid(line.textStart()), Qt::ElideRight, rect.width())
                 : name.mid(line.textStart(), line.textLength());
        painter.drawText(lineRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text);
        lineRect.translate(0, lineRect.height());
    }
    layout.endLayout();
}

void drawIcon(QPainter& painter, const QIcon& icon, const QRect& rect) {
    if (!icon.isNull())
        icon.paint(&painter, rect, Qt::AlignCenter);
}

// In Details the selection spans the whole row, across every column.
QRect detailsRowRect(const QStyleOptionViewItem& option) {
    const auto* tree = qobject_cast<const QTreeView*>(option.widget);
    if (!tree)
        return option.rect;
    return {-tree->header()->offset(), option.rect.y(), tree->header()->length(),
            option.rect.height()};
}

}  // namespace

FileListItemDelegate::FileListItemDelegate(ViewStyle style, ThumbnailWanted thumbnailWanted,
                                           QObject* parent)
    : QAbstractItemDelegate(parent), style_(style), thumbnailWanted_(std::move(thumbnailWanted)) {}

QSize FileListItemDelegate::cellSize(ViewStyle style, const QFontMetrics& metrics) {
    const int line = lineHeight(metrics);
    const int icon = iconSize(style);
    switch (style) {
        case ViewStyle::Details:
        case ViewStyle::List:
            return {200, std::max(icon, line) + kInset};
        case ViewStyle::SmallIcons:
            return {200, icon + 2 * kInset};
        case ViewStyle::Tiles:
            return {200, 80};
        case ViewStyle::LargeIcons:
        case ViewStyle::ExtraLargeIcons:
            return {icon + 16 + kNameRoom, 4 + icon + kNameGap + kNameLines * line + kSelectionGap};
    }
    return {};
}

int FileListItemDelegate::iconSize(ViewStyle style) {
    switch (style) {
        case ViewStyle::Details:
        case ViewStyle::List:
            return 16;
        case ViewStyle::SmallIcons:
            return 32;
        case ViewStyle::Tiles:
            return 48;
        case ViewStyle::LargeIcons:
            return 80;
        case ViewStyle::ExtraLargeIcons:
            return 160;
    }
    return 16;
}

QRect FileListItemDelegate::imageRect(ViewStyle style, const QRect& cell) {
    const int image = iconSize(style);
    const QRect iconBox(cell.x() + (cell.width() - image - 16) / 2, cell.y(), image + 16,
                        image + 10);
    return iconBox.adjusted(8, 0, -8, -10).translated(0, 4);
}

void FileListItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    painter->save();
    painter->setFont(option.font);
    switch (style_) {
        case ViewStyle::Details:
            paintDetailsCell(*painter, option, index);
            break;
        case ViewStyle::SmallIcons:
        case ViewStyle::List:
            paintIconBeside(*painter, option, index);
            break;
        case ViewStyle::Tiles:
            paintTile(*painter, option, index);
            break;
        case ViewStyle::LargeIcons:
        case ViewStyle::ExtraLargeIcons:
            paintLargeItem(*painter, option, index);
            break;
    }
    painter->restore();
}

QSize FileListItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return cellSize(style_, option.fontMetrics);
}

void FileListItemDelegate::paintBackground(QPainter& painter, const QRect& cell,
                                           const QRect& selection, bool selected) const {
    painter.fillRect(cell, attributes_.itemBackground);
    if (!selected)
        return;
    const int border = attributes_.selectionBorderWidth;
    const qreal half = border / 2.0;
    const QRectF shape = QRectF(selection).adjusted(half, half, -half, -half);
    QPainterPath path;
    if (attributes_.selectionBorderCorner > 0) {
        path.addRoundedRect(shape, attributes_.selectionBorderCorner,
                            attributes_.selectionBorderCorner);
    } else {
        path.addRect(shape);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    // The selection colours are translucent: they tint the highlight background.
    painter.fillPath(path, attributes_.itemHighlightBackground);
    if (attributes_.selectionEnd) {
        QLinearGradient gradient(shape.topLeft(), shape.bottomLeft());
        gradient.setColorAt(0, attributes_.selectionStart);
        gradient.setColorAt(1, *attributes_.selectionEnd);
        painter.fillPath(path, gradient);
    } else {
        painter.fillPath(path, attributes_.selectionStart);
    }
    if (border > 0)
        painter.strokePath(path, QPen(attributes_.selectionBorder, border));
}

void FileListItemDelegate::paintDetailsCell(QPainter& painter, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const {
    const QRect cell = option.rect;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    painter.save();
    painter.setClipRect(cell);
    paintBackground(painter, cell, detailsRowRect(option), selected);
    painter.restore();

    QRect textRect = cell.adjusted(kInset, 0, -kInset, 0);
    if (index.column() == 0) {
        const int edge = iconSize(ViewStyle::Details);
        const QRect icon(textRect.x(), cell.y() + (cell.height() - edge) / 2, edge, edge);
        drawIcon(painter, index.data(Qt::DecorationRole).value<QIcon>(), icon);
        textRect.setLeft(icon.right() + 1 + kInset);
    }
    painter.setPen(textColour(selected));
    drawElided(painter, textRect, index.data(Qt::DisplayRole).toString(), Qt::AlignVCenter);
}

void FileListItemDelegate::paintIconBeside(QPainter& painter, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const {
    const QRect cell = option.rect;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    paintBackground(painter, cell, cell, selected);

    const int edge = iconSize(style_);
    const QRect icon(cell.x() + kInset, cell.y() + (cell.height() - edge) / 2, edge, edge);
    drawIcon(painter, index.data(Qt::DecorationRole).value<QIcon>(), icon);
    painter.setPen(textColour(selected));
    const QRect textRect(icon.right() + 1 + kInset, cell.y(), cell.right() - icon.right() - kInset,
                         cell.height());
    drawElided(painter, textRect, index.data(Qt::DisplayRole).toString(), Qt::AlignVCenter);
}

void FileListItemDelegate::paintTile(QPainter& painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    const QRect cell = option.rect;
    const QRect content = cell.adjusted(0, 0, 0, -kSelectionGap);
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    paintBackground(painter, cell, content, selected);

    const int edge = iconSize(ViewStyle::Tiles);
    const QRect icon(content.x() + kInset, content.y() + (content.height() - edge) / 2, edge, edge);
    // A file's thumbnail where there is one, as the icon styles show it.
    QImage thumbnail;
    if (!index.data(FileListModel::IsFolderRole).toBool()) {
        thumbnail = index.data(FileListModel::ThumbnailRole).value<QImage>();
        if (thumbnail.isNull() && thumbnailWanted_)
            thumbnailWanted_(index.row());
    }
    if (!thumbnail.isNull())
        painter.drawImage(fittedImageRect(thumbnail.size(), icon), thumbnail);
    else
        drawIcon(painter, index.data(Qt::DecorationRole).value<QIcon>(), icon);

    // The name, then the type and the size (empty for folders).
    QStringList lines;
    for (const int column : {0, 2, 1}) {
        const QString text = index.siblingAtColumn(column).data(Qt::DisplayRole).toString();
        if (!text.isEmpty())
            lines << text;
    }
    const int line = lineHeight(painter.fontMetrics());
    const int left = icon.right() + 1 + kTileTextGap;
    QRect lineRect(left,
                   content.y() + (content.height() - line * static_cast<int>(lines.size())) / 2,
                   content.right() - left - kInset, line);
    painter.setPen(textColour(selected));
    for (const QString& text : lines) {
        drawElided(painter, lineRect, text, Qt::AlignVCenter);
        lineRect.translate(0, line);
    }
}

void FileListItemDelegate::paintLargeItem(QPainter& painter, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
    const QRect cell = option.rect;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    paintBackground(painter, cell, cell.adjusted(0, 0, 0, -kSelectionGap), selected);

    const QRect image = imageRect(style_, cell);
    QImage thumbnail;
    if (!index.data(FileListModel::IsFolderRole).toBool()) {
        thumbnail = index.data(FileListModel::ThumbnailRole).value<QImage>();
        if (thumbnail.isNull() && thumbnailWanted_)
            thumbnailWanted_(index.row());
    }
    if (!thumbnail.isNull()) {
        painter.drawImage(fittedImageRect(thumbnail.size(), image), thumbnail);
    } else if (const auto icon = index.data(Qt::DecorationRole).value<QIcon>(); !icon.isNull()) {
        const QPixmap pixmap = icon.pixmap(image.size(), painter.device()->devicePixelRatioF());
        painter.drawPixmap(fittedImageRect(pixmap.deviceIndependentSize().toSize(), image), pixmap);
    }

    const QRect name(cell.x() + 2, image.bottom() + 1 + kNameGap, cell.width() - 4,
                     kNameLines * lineHeight(painter.fontMetrics()));
    painter.setPen(textColour(selected));
    drawWrappedName(painter, name, index.data(Qt::DisplayRole).toString(), kNameLines);
}

QColor FileListItemDelegate::textColour(bool selected) const {
    return selected ? attributes_.itemHighlight : attributes_.itemText;
}
