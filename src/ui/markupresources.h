#pragma once

#include <QString>
#include <QUrl>
#include <QVariant>

/**
 * The images that translated markup refers to: frames of skin images and blank spacers, named by
 * "skin:" URLs. Installed as the default resource provider of Qt's text documents, so every
 * rich-text label resolves them. Anything else is left to Qt (a null result).
 */
class MarkupResources {
public:
    /** URL of frame `index` of the skin image `name` cut into `count` frames. */
    static QUrl imageUrl(const QString& name, int count, int index);

    /** URL of a transparent block of the given logical size. */
    static QUrl spacerUrl(int width, int height);

    /** The image behind a "skin:" URL, drawn for the application's pixel ratio. */
    static QVariant load(const QUrl& url);
};
