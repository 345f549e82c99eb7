#include "app/imagefit.h"

#include <algorithm>

QSize fittedImageSize(QSize image, QSize box) {
    if (image.isEmpty() || box.isEmpty())
        return {};
    if (image.width() <= box.width() && image.height() <= box.height())
        return image;
    const double scale = std::min(static_cast<double>(box.width()) / image.width(),
                                  static_cast<double>(box.height()) / image.height());
    return {std::max(1, static_cast<int>(image.width() * scale)),
            std::max(1, static_cast<int>(image.height() * scale))};
}

QRect fittedImageRect(QSize image, const QRect& box) {
    const QSize fitted = fittedImageSize(image, box.size());
    return {box.x() + (box.width() - fitted.width()) / 2,
            box.y() + (box.height() - fitted.height()) / 2, fitted.width(), fitted.height()};
}
