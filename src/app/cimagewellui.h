#pragma once

#include <QImage>
#include <QLabel>

/**
 * The inspector's picture ("ImageWell" in the layouts): a label that holds two optional images,
 * a thumbnail and an icon image. It draws the thumbnail when there is one, else the icon image,
 * at its natural size centred in the label's padded area; an image larger than the area is
 * scaled down to fit, keeping its aspect ratio, and never enlarged. With neither image it draws
 * as a plain label (the layout's background picture).
 */
class CImageWellUI : public QLabel {
    Q_OBJECT
public:
    explicit CImageWellUI(QWidget* parent = nullptr);

    /** Replaces the thumbnail; a null image removes it. */
    void setThumbnail(const QImage& image);
    /** Replaces the icon image; a null image removes it. */
    void setIconImage(const QImage& image);
    /** Removes both images, so that the label's own picture shows again. */
    void clearImages();

    const QImage& thumbnail() const { return thumbnail_; }
    const QImage& iconImage() const { return iconImage_; }
    /** Where the image on show is drawn; empty when the label draws itself. */
    QRect imageRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage& shownImage() const;

    QImage thumbnail_;
    QImage iconImage_;
};
