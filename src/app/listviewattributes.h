#pragma once

#include <QColor>
#include <optional>

class QObject;
class QPalette;

/**
 * How the file list draws its items, from the layout's attributes (the control's properties).
 * Colours arrive as "#AARRGGBB" or "#RRGGBB" texts or as numbers (above 0xFFFFFF with alpha,
 * else opaque); integers as numbers or texts. A missing or unreadable attribute keeps its
 * default.
 */
struct ListviewAttributes {
    QColor itemBackground = QColor::fromRgba(0xFFFFFFFF);
    QColor itemText;
    QColor itemHighlight;
    QColor itemHighlightBackground;
    QColor selectionStart = QColor::fromRgba(0xAA777777);
    /**
     * Nothing for a plain fill in selectionStart (the layout's -1). The fill is a smooth gradient,
     * so the layout's step count ("selectionbksteps") is not needed.
     */
    std::optional<QColor> selectionEnd = QColor::fromRgba(0xAA3A3A3A);
    QColor selectionBorder = QColor::fromRgb(0xAEAEAE);
    /** 0 for no border. */
    int selectionBorderWidth = 1;
    /** 0 for square corners. */
    int selectionBorderCorner = 12;

    /** The defaults, with the text colours taken from palette. */
    static ListviewAttributes defaults(const QPalette& palette);
    /** The attributes control's properties set, over the defaults. */
    static ListviewAttributes fromProperties(const QObject& control, const QPalette& palette);
};
