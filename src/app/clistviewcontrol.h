#pragma once

#include <QImage>
#include <QList>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/steprunner.h"

class ListviewDataSource;
class ListviewDelegate;
class QAbstractItemView;
class ThumbnailRequester;

/**
 * The file list ("ListControl" in the layouts): a virtual list over a data source in six view
 * styles (codes of ViewStyle). It stores no items of its own: texts and icons are asked for on
 * demand and cached per row until the next reload. It reports user actions to a delegate.
 *
 * The layout's attributes are read from the control's properties at initialise: "itembkcolor",
 * "itemtextcolor", "itemhighlightcolor", "itemhighlightbkcolor", "selectionbkstart",
 * "selectionbkend", "selectionbordercolor", "selectionborderwidth", "selectionbordercorner" (the
 * selection gradient is smooth, so "selectionbksteps" is not needed; "itemglowimage" and
 * "itemglowedge" are not drawn). GUI thread only.
 */
class CListviewControl : public QWidget {
    Q_OBJECT
public:
    explicit CListviewControl(QWidget* parent = nullptr);
    ~CListviewControl() override;

    void setDataSource(ListviewDataSource* dataSource);
    void setDelegate(ListviewDelegate* delegate);
    /** Where the large styles ask for thumbnails; without one they show file-type icons. */
    void setThumbnailRequester(ThumbnailRequester* requester);
    /** How reload runs the data source's itemCount; runDeviceStep unless set. */
    void setStepRunner(StepRunner runner);

    /** Builds the views and columns and reads the layout's attributes; once, after loading. */
    void initialise();

    /** Shows the style of code; the same code does nothing, unknown codes are only stored. */
    void setViewStyle(std::uint32_t code);
    std::uint32_t viewStyle() const;

    /**
     * Shows the data source's items afresh: a new generation, thumbnail requests dropped, row
     * caches cleared, the item count asked under the busy indicator, the selection cleared and
     * itemChanged(-1) reported.
     */
    void reload();
    /** The data source's items at rows changed: they are asked for again and repainted. */
    void itemsChanged(const std::vector<int>& rows);
    /**
     * The data source's items moved, item r to newRowOf[r] (a sort settled): the selection and
     * the current item move with them, the view keeps its scroll position, and thumbnails on the
     * way are asked for again under a new generation.
     */
    void itemsMoved(const std::vector<int>& newRowOf);
    /** Repaints the column header (after the sort changed). */
    void redrawHeader();
    /** What the list says when a reload found no items ("" says nothing). */
    void setEmptyText(const QString& text);

    int itemCount() const;
    /** The selected items, ascending. */
    QList<int> selectedItems() const;
    void clearSelection();
    /** Selects only item and makes it current. */
    void selectItem(int item);
    /** The item at position (in this control's coordinates), or -1. */
    int itemAt(QPoint position) const;

    /** The token thumbnails of the items on show must carry. */
    std::uint32_t generation() const;
    /** A thumbnail made for item; ignored unless generation is the current one. */
    void thumbnailReady(int item, std::uint32_t generation, const QImage& thumbnail);

    /** The view that shows the current style (for placing indicators and for tests). */
    QAbstractItemView* currentView() const;

private:
    struct Private;
    std::unique_ptr<Private> d_;
};
