#pragma once

#include <QColor>
#include <QRect>
#include <functional>

class QWidget;

/**
 * Runs step on a worker thread while a busy indicator turns over window; the user-interface
 * thread meanwhile keeps painting and ignores input, and returns when the step has ended. step
 * must not touch widgets.
 */
void runUnderBusyIndicator(QWidget* window, QColor colour, bool centre, QRect rect,
                           const std::function<void()>& step);
