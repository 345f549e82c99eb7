#pragma once

#include <QAbstractItemDelegate>
#include <QRect>
#include <QSize>
#include <functional>

#include "app/listviewattributes.h"
#include "app/viewstyle.h"

class QFontMetrics;
class QPainter;

/**
 * Draws the file list's items in one view style, over a FileListModel: the item background (a
 * selected item gets the selection fill), its icon and its texts in the layout's colours. In the
 * Large and Extra Large styles a file shows its thumbnail when the model holds one; otherwise its
 * file-type icon, and the delegate reports that the row wants a thumbnail.
 */
class FileListItemDelegate : public QAbstractItemDelegate {
    Q_OBJECT
public:
    /** Called while a file without a thumbnail is drawn in a large style, with its row. */
    using ThumbnailWanted = std::function<void(int row)>;

    FileListItemDelegate(ViewStyle style, ThumbnailWanted thumbnailWanted,
                         QObject* parent = nullptr);

    void setViewStyle(ViewStyle style) { style_ = style; }
    ViewStyle viewStyle() const { return style_; }
    void setAttributes(const ListviewAttributes& attributes) { attributes_ = attributes; }

    /** The size of one item of style, which is also its place in the grid. */
    static QSize cellSize(ViewStyle style, const QFontMetrics& metrics);
    /** The edge of the item icons of style. */
    static int iconSize(ViewStyle style);
    /**
     * Where the image of an item of a large style goes in its cell: the icon box (the image with
     * 8 pixels on each side and 10 below) 8 pixels narrower on each side and 10 shorter at the
     * bottom, moved down 4 pixels.
     */
    static QRect imageRect(ViewStyle style, const QRect& cell);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void paintBackground(QPainter& painter, const QRect& cell, const QRect& selection,
                         bool selected) const;
    void paintDetailsCell(QPainter& painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const;
    void paintIconBeside(QPainter& painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const;
    void paintTile(QPainter& painter, const QStyleOptionViewItem& option,
                   const QModelIndex& index) const;
    void paintLargeItem(QPainter& painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const;
    QColor textColour(bool selected) const;

    ViewStyle style_;
    ThumbnailWanted thumbnailWanted_;
    ListviewAttributes attributes_;
};
