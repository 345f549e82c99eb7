#pragma once

#include <memory>

#include <QIcon>
#include <QPersistentModelIndex>
#include <QRect>
#include <QStyledItemDelegate>

class QAbstractItemView;
class QLabel;
class QPushButton;
class QToolButton;

/**
 * Draws the rows of the transfer history (TransferHistoryModel) as the row layout
 * "transfertask.xml" places its controls: the direction icon with the row's mark on its corner
 * (one per outcome, and the progress of a file in progress), the local path, the direction with
 * the device path, the time stamp with the size, and the button that shows the local file, drawn
 * with the style. No widget exists per row; one copy of the row layout, never shown, gives the
 * places, fonts and colours.
 *
 * Clicking a row's button with a local path signals openFolderClicked. Tool tips name the
 * direction and the device over the icon, the outcome over the mark, and the full paths over the
 * paths. GUI thread only.
 */
class TransferHistoryRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    enum class Area { None, Direction, Status, FileName, DevicePath, DateTime, OpenFolder };

    /** Draws the rows of `view`, its parent, and takes its mouse events for the buttons. */
    explicit TransferHistoryRowDelegate(QAbstractItemView* view);
    ~TransferHistoryRowDelegate() override;

    /** Where `area` lies in a row drawn in `rowRect`; empty when the row layout lacks it. */
    QRect areaRect(const QRect& rowRect, Area area) const;
    /** The area under `position` in a row drawn in `rowRect`. */
    Area areaAt(const QRect& rowRect, QPoint position) const;
    /** The tool tip at `position` in the row of `index` drawn in `rowRect`; may be empty. */
    QString toolTipAt(const QRect& rowRect, QPoint position, const QModelIndex& index) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

signals:
    void openFolderClicked(const QString& localFile);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct RowAreas {
        QRect direction;
        QRect status;
        QRect fileName;
        QRect devicePath;
        QRect dateTime;
        QRect openFolder;
    };

    const RowAreas& areasFor(int width) const;
    int rowHeight() const;
    bool isOverButton(QPoint position, QModelIndex* index) const;
    void setHoveredButton(const QModelIndex& index);
    void paintText(QPainter* painter, const QRect& rect, const QLabel* style,
                   const QString& text) const;
    void paintButton(QPainter* painter, const QRect& rect, const QString& text, bool enabled,
                     bool hovered, bool pressed) const;
    static void paintMark(QPainter* painter, const QRect& rect, const QModelIndex& index);

    QAbstractItemView* view_;
    /** The view's viewport, compared with and never called: the filter still sees its events
        while the view is being destroyed, when view_ is no longer a view. */
    const QObject* viewport_;
    /** The row layout, never shown: it measures and styles every row. */
    std::unique_ptr<QWidget> row_;
    QToolButton* direction_ = nullptr;
    QLabel* fileName_ = nullptr;
    QLabel* devicePath_ = nullptr;
    QLabel* dateTime_ = nullptr;
    QPushButton* openFolder_ = nullptr;
    QIcon toLocal_;
    QIcon toDevice_;
    mutable int areasWidth_ = -1;
    mutable RowAreas areas_;
    QPersistentModelIndex hoveredButton_;
    QPersistentModelIndex pressedButton_;
};
