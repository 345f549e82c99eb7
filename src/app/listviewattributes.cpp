#include "app/listviewattributes.h"

#include <QObject>
#include <QPalette>
#include <QVariant>

namespace {

std::optional<qlonglong> integerOf(const QVariant& value) {
    bool ok = false;
    qlonglong number = 0;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        number = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                     ? text.mid(2).toLongLong(&ok, 16)
                     : text.toLongLong(&ok, 10);
    } else {
        number = value.toLongLong(&ok);
    }
    if (!ok)
        return std::nullopt;
    return number;
}

std::optional<QColor> colourOf(const QVariant& value) {
    if (!value.isValid())
        return std::nullopt;
    const QString text = value.toString().trimmed();
    if (text.startsWith(QLatin1Char('#'))) {
        const QColor colour = QColor::fromString(text);
        return colour.isValid() ? std::optional<QColor>(colour) : std::nullopt;
    }
    const std::optional<qlonglong> number = integerOf(value);
    if (!number || *number < 0 || *number > 0xFFFFFFFFLL)
        return std::nullopt;
    const auto rgba = static_cast<QRgb>(*number);
    return *number > 0xFFFFFF ? QColor::fromRgba(rgba) : QColor::fromRgb(rgba);
}

void readColour(const QObject& control, const char* name, QColor& target) {
    if (const std::optional<QColor> colour = colourOf(control.property(name)))
        target = *colour;
}

void readInteger(const QObject& control, const char* name, int& target) {
    const QVariant value = control.property(name);
    if (!value.isValid())
        return;
    if (const std::optional<qlonglong> number = integerOf(value);
        number && *number >= 0 && *number <= 0xFFFF) {
        target = static_cast<int>(*number);
    }
}

}  // namespace

ListviewAttributes ListviewAttributes::defaults(const QPalette& palette) {
    ListviewAttributes attributes;
    attributes.itemText = palette.color(QPalette::Active, QPalette::WindowText);
    attributes.itemHighlight = palette.color(QPalette::Active, QPalette::HighlightedText);
    attributes.itemHighlightBackground = palette.color(QPalette::Active, QPalette::Highlight);
    return attributes;
}

ListviewAttributes ListviewAttributes::fromProperties(const QObject& control,
                                                      const QPalette& palette) {
    ListviewAttributes attributes = defaults(palette);
    readColour(control, "itembkcolor", attributes.itemBackground);
    readColour(control, "itemtextcolor", attributes.itemText);
    readColour(control, "itemhighlightcolor", attributes.itemHighlight);
    readColour(control, "itemhighlightbkcolor", attributes.itemHighlightBackground);
    readColour(control, "selectionbkstart", attributes.selectionStart);
    const QVariant end = control.property("selectionbkend");
    if (const std::optional<qlonglong> number = integerOf(end); number && *number == -1) {
        attributes.selectionEnd.reset();
    } else if (const std::optional<QColor> colour = colourOf(end)) {
        attributes.selectionEnd = *colour;
    }
    readColour(control, "selectionbordercolor", attributes.selectionBorder);
    readInteger(control, "selectionborderwidth", attributes.selectionBorderWidth);
    readInteger(control, "selectionbordercorner", attributes.selectionBorderCorner);
    return attributes;
}
