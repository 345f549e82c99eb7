#include "app/viewstyle.h"

#include <array>

namespace {

struct ViewStyleEntry {
    ViewStyle style;
    const char* menuItem;
    const char* glyph;
};

constexpr std::array<ViewStyleEntry, 6> kViewStyles{{
    {ViewStyle::Details, "details", "details.svg"},
    {ViewStyle::SmallIcons, "smallIcons", "medium_icons.svg"},
    {ViewStyle::LargeIcons, "largeIcons", "large_icons.svg"},
    {ViewStyle::List, "listIcons", "small_icons.svg"},
    {ViewStyle::Tiles, "tiles", "tiles.svg"},
    {ViewStyle::ExtraLargeIcons, "extraLargeIcons", "extra_large_icons.svg"},
}};

const ViewStyleEntry& entryOf(ViewStyle style) {
    return kViewStyles[static_cast<std::size_t>(style) - 1];
}

}  // namespace

std::optional<ViewStyle> viewStyleFromCode(std::uint32_t code) {
    if (code < 1 || code > kViewStyles.size())
        return std::nullopt;
    return static_cast<ViewStyle>(code);
}

std::optional<ViewStyle> viewStyleFromMenuItem(const QString& itemName) {
    for (const ViewStyleEntry& entry : kViewStyles) {
        if (itemName == QLatin1String(entry.menuItem))
            return entry.style;
    }
    return std::nullopt;
}

QString viewStyleMenuItem(ViewStyle style) {
    return QString::fromLatin1(entryOf(style).menuItem);
}

QString viewStyleGlyph(ViewStyle style) {
    return QStringLiteral(":/skin/viewstyle/") + QLatin1String(entryOf(style).glyph);
}
