#pragma once

#include <QObject>
#include <functional>

class ListviewDelegate;
class QAbstractItemView;
class QWidget;

/**
 * Turns the user's actions on one of the file list's views into reports to the list's delegate:
 * a context menu (mouse or key) becomes rightClick, a double click on an item doubleClick, local
 * files dropped filesDropped (at a position in the list's coordinates). A left click on empty
 * space clears the selection. It watches the view and its viewport and lives as long as the view.
 */
class FileListInput : public QObject {
    Q_OBJECT
public:
    using DelegateOf = std::function<ListviewDelegate*()>;

    /** list: the control the view belongs to, whose coordinates drops are reported in. */
    FileListInput(QAbstractItemView& view, QWidget& list, DelegateOf delegateOf);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool contextMenu(QEvent* event);
    bool mousePress(QEvent* event);
    bool drag(QEvent* event);
    bool drop(QEvent* event);
    int firstSelectedItem() const;

    QAbstractItemView& view_;
    /** The view's viewport, compared with and never called: the filter still sees events while
        the view is being destroyed, when view_ is no longer a view. */
    const QObject* viewport_;
    QWidget& list_;
    DelegateOf delegate_;
};
