#pragma once

#include <QRect>
#include <QSize>

/**
 * The size an image is drawn at in a box: an image no larger than the box keeps its size; a
 * larger one is scaled by the smaller of the two ratios (box over image), each side truncated and
 * at least 1 pixel. An empty image or box gives an empty size.
 */
QSize fittedImageSize(QSize image, QSize box);

/** Where an image is drawn in box: at its fitted size, centred. */
QRect fittedImageRect(QSize image, const QRect& box);
