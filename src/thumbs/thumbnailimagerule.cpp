#include "thumbs/thumbnailimagerule.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "values/localpaths.h"
#include "values/unicode.h"

namespace {

constexpr std::array<std::u16string_view, 9> kImageExtensions = {
    u".png", u".jpg", u".jpeg", u".bmp", u".heic", u".heif", u".mov", u".mp4", u".m4v"};

bool hasImageExtension(const CZelboString& path) {
    // Only ASCII letters matter: no other character lower-cases to a letter of these extensions.
    const std::u16string extension = asciiLowerCase(extensionOf(path).view());
    return std::find(kImageExtensions.begin(), kImageExtensions.end(), extension) !=
           kImageExtensions.end();
}

bool isAppArtwork(const CZelboString& text) {
    return text == u"iTunesArtwork" || text == u"/iTunesArtwork";
}

}  // namespace

bool wantsThumbnail(const CZelboString& pathComponent) {
    return isAppArtwork(pathComponent) || hasImageExtension(pathComponent);
}

bool inspectorWantsThumbnail(const CZelboString& fullPath) {
    return isAppArtwork(fullPath) || hasImageExtension(fullPath);
}
