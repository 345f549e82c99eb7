#pragma once

#include <QFont>
#include <QPixmap>
#include <QSize>
#include <QString>

/**
 * The compiled-in skin: layouts, images, fonts and the style sheet under the resource prefix
 * ":/skin". Windows name images as the layouts and markup do ("icons\\error60.png",
 * "viewstyle/details.png"); each name maps to the SVG source of the same path and base name
 * ("icons/error60.svg"), rendered at the size asked for. A name with no image behind it gives a
 * null pixmap. GUI thread only.
 */
class Skin {
public:
    /** Registers the skin's resources and the markup image provider; safe to call repeatedly. */
    static void initialise();

    /** Resource path of a layout file ("alert.xml" gives ":/skin/alert.xml"). */
    static QString layoutPath(const QString& fileName);

    /** Resource path of the image behind a skin image name, or an empty text when there is none. */
    static QString imagePath(const QString& imageName);

    /** The image at `size` (its own size when empty), drawn for the given pixel ratio. */
    static QPixmap pixmap(const QString& imageName, QSize size = {}, qreal devicePixelRatio = 1.0);

    /** Frame `index` of an image that is a horizontal strip of `count` equal frames. */
    static QPixmap stripFrame(const QString& imageName, int count, int index,
                              qreal devicePixelRatio = 1.0);

    /** Font `index` of the skin's font table, as `<f N>` in markup uses it; font 0 otherwise. */
    static QFont font(int index);

    /** The style sheet of every skinned window and menu. */
    static QString styleSheet();
};
