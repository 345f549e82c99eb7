#include "thumbs/thumbnailimagerule.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "values/localpaths.h"
#include "values/unicode.h"

namespace {

constexpr std::array<std::u16string_view, 6> kImageExtensions = {u".png", u".jpg",  u".jpeg",
                                                                 u".bmp", u".heic", u".heif"};

}  // namespace

bool wantsThumbnail(const CZelboString& pathComponent) {
    if (pathComponent == u"iTunesArtwork" || pathComponent == u"/iTunesArtwork")
        return true;
    // Only ASCII letters matter: no other character lower-cases to a letter of these extensions.
    const std::u16string extension = asciiLowerCase(extensionOf(pathComponent).view());
    return std::find(kImageExtensions.begin(), kImageExtensions.end(), extension) !=
           kImageExtensions.end();
}
