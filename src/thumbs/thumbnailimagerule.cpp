#include "thumbs/thumbnailimagerule.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "values/localpaths.h"

namespace {

constexpr std::array<std::u16string_view, 6> kImageExtensions = {u".png", u".jpg",  u".jpeg",
                                                                 u".bmp", u".heic", u".heif"};

// Only ASCII letters matter: no other character lower-cases to a letter of these extensions.
std::u16string asciiLowerCase(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& unit : lower) {
        if (unit >= u'A' && unit <= u'Z')
            unit = static_cast<char16_t>(unit - u'A' + u'a');
    }
    return lower;
}

}  // namespace

bool wantsThumbnail(const CZelboString& pathComponent) {
    if (pathComponent == u"iTunesArtwork" || pathComponent == u"/iTunesArtwork")
        return true;
    const std::u16string extension = asciiLowerCase(extensionOf(pathComponent).view());
    return std::find(kImageExtensions.begin(), kImageExtensions.end(), extension) !=
           kImageExtensions.end();
}
