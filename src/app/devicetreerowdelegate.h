#pragma once

#include <map>
#include <memory>

#include <QString>
#include <QStyledItemDelegate>

class QSvgRenderer;
struct DeviceTreeRow;

/**
 * Paints a device tree row from the row alone (never its node): the row's background stretched
 * over it, 3 pixels and 12 per level, the expander (tree_expand: collapsed or expanded image;
 * blank once the row is known to be empty), the row's icon (the folder icon when it has none)
 * and its name. Rows with an icon of their own or a fixed height (devices, the app list) use the
 * skin's emphasised row font. A row is its fixed height tall, 22 pixels otherwise.
 */
class DeviceTreeRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kDefaultRowHeight = 22;

    explicit DeviceTreeRowDelegate(QObject* parent = nullptr);
    ~DeviceTreeRowDelegate() override;

    /** Where a row of level draws its expander, from the row's left edge. */
    static int expanderLeft(int level);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    /** A row whose name is cut short shows the whole name as its tool tip. */
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    void paintBackground(QPainter* painter, const DeviceTreeRow& row, const QRect& rect,
                         const QStyleOptionViewItem& option) const;
    void paintExpander(QPainter* painter, bool expanded, const QRect& rect) const;
    void paintImage(QPainter* painter, const QString& resource, const QRectF& rect) const;
    QSvgRenderer& renderer(const QString& resource) const;

    mutable std::map<QString, std::unique_ptr<QSvgRenderer>> renderers_;
};
