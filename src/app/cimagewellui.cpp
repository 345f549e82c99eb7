#include "app/cimagewellui.h"

#include <QPainter>

#include "app/imagefit.h"

CImageWellUI::CImageWellUI(QWidget* parent) : QLabel(parent) {}

void CImageWellUI::setThumbnail(const QImage& image) {
    thumbnail_ = image;
    update();
}

void CImageWellUI::setIconImage(const QImage& image) {
    iconImage_ = image;
    update();
}

void CImageWellUI::clearImages() {
    thumbnail_ = QImage();
    iconImage_ = QImage();
    update();
}

const QImage& CImageWellUI::shownImage() const {
    return thumbnail_.isNull() ? iconImage_ : thumbnail_;
}

QRect CImageWellUI::imageRect() const {
    const QImage& image = shownImage();
    if (image.isNull())
        return {};
    const int padding = margin();
    const QRect area = contentsRect().adjusted(padding, padding, -padding, -padding);
    return fittedImageRect(image.size(), area);
}

void CImageWellUI::paintEvent(QPaintEvent* event) {
    const QImage& image = shownImage();
    if (image.isNull()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(), image);
}
