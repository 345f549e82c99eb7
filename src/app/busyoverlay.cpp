#include "app/busyoverlay.h"

#include <QEvent>
#include <QPainter>

#include "app/busyindicator.h"

BusyOverlay::BusyOverlay(QWidget* window, const BusyIndicator& indicator, QRect rect, bool follow)
    : QWidget(window), indicator_(indicator), follow_(follow) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(rect);
    const QSize area = window->size();
    const QPointF centre = QRectF(rect).center();
    relativeCentre_ = QPointF(area.width() > 0 ? centre.x() / area.width() : 0.5,
                              area.height() > 0 ? centre.y() / area.height() : 0.5);
    window->installEventFilter(this);
    raise();
    show();
}

void BusyOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, indicator_.currentFrame());
}

bool BusyOverlay::eventFilter(QObject* watched, QEvent* event) {
    if (follow_ && watched == parentWidget() && event->type() == QEvent::Resize) {
        const QSize area = parentWidget()->size();
        QRect moved = geometry();
        moved.moveTo(qRound(relativeCentre_.x() * area.width() - moved.width() / 2.0),
                     qRound(relativeCentre_.y() * area.height() - moved.height() / 2.0));
        setGeometry(moved);
        raise();
    }
    return QWidget::eventFilter(watched, event);
}
