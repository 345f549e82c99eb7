#pragma once

#include <functional>

#include <QPersistentModelIndex>
#include <QPoint>
#include <QTimer>
#include <QTreeView>

#include "app/wheelscrollanimation.h"

/**
 * The device tree's view. Rows draw their own indentation and expander, so Qt's are off, and
 * expansion belongs to the tree control, which mirrors its rows' flags here. It scrolls by pixels,
 * a wheel notch as a short eased animation (50 ms ticks) that stops at either end. Left clicks
 * are reported with the point inside the clicked row, local files dropped on a row that takes
 * them with that row.
 */
class DeviceTreeView : public QTreeView {
    Q_OBJECT
public:
    static constexpr int kWheelTickMs = 50;

    explicit DeviceTreeView(QWidget* parent = nullptr);
    ~DeviceTreeView() override;

    const WheelScrollAnimation& wheelAnimation() const { return wheelAnimation_; }
    /** Whether a row takes dropped files; without a check no row does. */
    void setDropCheck(std::function<bool(const QModelIndex&)> check) {
        dropCheck_ = std::move(check);
    }

signals:
    /** A left button pressed and released on index; point is relative to the row's top-left. */
    void rowClicked(const QModelIndex& index, QPoint pointInRow);
    /** Local files and folders were dropped on index, a row the drop check allowed. */
    void filesDropped(const QModelIndex& index, const QStringList& paths);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void wheelTick();
    bool atEndOfMotion() const;
    /** The row under a drag that can take its files, else an invalid index. */
    QModelIndex dropTarget(const QDropEvent& event) const;

    QPersistentModelIndex pressedIndex_;
    WheelScrollAnimation wheelAnimation_;
    QTimer wheelTimer_;
    int unusedWheelDelta_ = 0;
    std::function<bool(const QModelIndex&)> dropCheck_;
};
