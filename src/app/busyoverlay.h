#pragma once

#include <QPointF>
#include <QWidget>

class BusyIndicator;

/**
 * Shows a busy indicator's newest frame over a window, letting input through, and keeps the same
 * relative place in the window as it is resized when asked to.
 */
class BusyOverlay : public QWidget {
    Q_OBJECT
public:
    BusyOverlay(QWidget* window, const BusyIndicator& indicator, QRect rect, bool follow);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const BusyIndicator& indicator_;
    bool follow_;
    QPointF relativeCentre_;
};
