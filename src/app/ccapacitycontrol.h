#pragma once

#include <QWidget>

/**
 * The storage bar ("CapacityControl" in the layouts): a horizontal row of parts. After the
 * ordinary layout, every visible part whose integer property "tag" is not 0 gets the width
 * tag / 10000 of the inner width (rounded to the nearest pixel), laid side by side from the left
 * inset; parts with tag 0 keep the ordinary layout.
 */
class CCapacityControlUI : public QWidget {
    Q_OBJECT
public:
    explicit CCapacityControlUI(QWidget* parent = nullptr);

    /** Lays the parts out again by their tags (after the tags changed). */
    void relayout();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    /** Gives the tagged parts their widths over what the ordinary layout placed. */
    void applyTags();
};
