#pragma once

#include <QColor>
#include <QHeaderView>

class ListviewDataSource;

/**
 * The column header of the file list's Details style, painted in the list's colours: each section
 * on the list background lightened by 30, its title in the text colour, and the sorted column
 * (as the data source reports it) marked ▲ ascending or ▼ descending near its right edge. The
 * area right of the last section is filled the same way.
 */
class ListHeaderView : public QHeaderView {
    Q_OBJECT
public:
    explicit ListHeaderView(QWidget* parent = nullptr);

    void setDataSource(ListviewDataSource* dataSource) { dataSource_ = dataSource; }
    void setColours(const QColor& listBackground, const QColor& text);

    /** Each channel of colour raised by amount, at most 255; alpha kept. */
    static QColor lightened(const QColor& colour, int amount);

protected:
    void paintEvent(QPaintEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    QColor fill() const { return lightened(listBackground_, 30); }
    QColor markColour() const;

    ListviewDataSource* dataSource_ = nullptr;
    QColor listBackground_ = Qt::white;
    QColor text_ = Qt::black;
};
