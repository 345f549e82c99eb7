#include "app/busyindicatorframe.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

int BusyIndicatorFrame::dotOpacity(int dot, int step) {
    const int behind = dot < step ? dot - step + kDots : dot - step;
    return static_cast<int>(behind / static_cast<double>(kDots) * 255.0);
}

QImage BusyIndicatorFrame::draw(QSize size, QColor colour, int step, Blending blending) {
    QImage frame(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = size.width();
    const double h = size.height();
    if (blending == Blending::PerPixelAlpha) {
        frame.fill(Qt::transparent);
        QPainterPath plate;
        plate.addRoundedRect(QRectF(0, 0, w, h), 8, 8);
        painter.fillPath(plate, colour);
    } else {
        frame.fill(colour);
    }

    const double angleStep = 2 * std::numbers::pi / kDots;
    const double ring = w / 2 - 6;
    // A third of the gap between two neighbouring dot positions on the ring.
    const double radius =
        std::hypot(ring - ring * std::cos(angleStep), ring * std::sin(angleStep)) / 3;
    painter.setPen(Qt::NoPen);
    for (int j = 0; j < kDots; ++j) {
        const QPointF centre(w / 2 + std::cos(j * angleStep) * (ring - radius),
                             h / 2 + std::sin(j * angleStep) * (ring - radius));
        painter.setBrush(QColor(239, 239, 239, dotOpacity(j, step)));
        painter.drawEllipse(centre, radius, radius);
    }
    return frame;
}
