#pragma once

#include <cstdint>
#include <optional>

#include <QString>

/** The file list's view styles, by their stored codes. */
enum class ViewStyle : std::uint32_t {
    Details = 1,
    SmallIcons = 2,
    LargeIcons = 3,
    List = 4,
    Tiles = 5,
    ExtraLargeIcons = 6,
};

/** The style of a stored code; nothing for codes outside 1 to 6. */
std::optional<ViewStyle> viewStyleFromCode(std::uint32_t code);
/** The style of a view-style menu item ("details", …); nothing for other names. */
std::optional<ViewStyle> viewStyleFromMenuItem(const QString& itemName);
/** The view-style menu item of a style: "details", "smallIcons", … */
QString viewStyleMenuItem(ViewStyle style);
/** The skin resource of the style's glyph on the view-style button. */
QString viewStyleGlyph(ViewStyle style);
