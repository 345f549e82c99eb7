#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

/**
 * One picture of the busy indicator: a ring of ten dots in which the bright dot stands at the
 * current step and the others fade behind it. Pure drawing, safe on any thread.
 */
class BusyIndicatorFrame {
public:
    static constexpr int kDots = 10;
    /** The steps run 0 … kLastStep, then start again. */
    static constexpr int kLastStep = 10;

    /** How a frame meets what lies under it. */
    enum class Blending { PerPixelAlpha, Opaque };

    /** The step after step. */
    static int nextStep(int step) { return step + 1 > kLastStep ? 0 : step + 1; }
    /** Opacity 0 … 255 of dot j when the bright dot stands at step. */
    static int dotOpacity(int dot, int step);

    /** Draws the frame of step: a rounded plate in colour (or a full fill, when opaque), dots. */
    static QImage draw(QSize size, QColor colour, int step, Blending blending);
};
