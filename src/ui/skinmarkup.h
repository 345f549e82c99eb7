#pragma once

#include <QString>
#include <QStringView>

class QLabel;

/**
 * The skin's inline markup, translated to Qt rich text:
 *
 *   <b>…</b>, <i>…</i>         bold, italic
 *   <x N>, {x N}               N pixels of horizontal space
 *   <i file count index>       frame `index` of the image strip `file` of `count` frames
 *   {i file count index}       the same; {i file='…' width='…' height='…'} draws the file at that
 *                              size, and without a file it keeps the space free
 *   <f N>…</f>                 font N of the skin's font table
 *   <a>…</a>, <a target>…</a>  a link; activating it reports `target` ("link" when none)
 *   line breaks                line breaks
 *
 * Other text is shown as it is, including tags the markup does not know.
 */
class SkinMarkup {
public:
    static QString toRichText(QStringView markup);

    /** Shows markup in a label as rich text. */
    static void show(QLabel* label, const QString& markup);
};
