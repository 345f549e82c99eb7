#include "photos/heicname.h"

#include <string>

#include "values/localpaths.h"
#include "values/unicode.h"

namespace HeicName {

bool isHeic(const CZelboString& name) {
    const std::u16string extension = asciiLowerCase(extensionOf(name).view());
    return extension == u".heic" || extension == u".heif";
}

CZelboString jpegOf(const CZelboString& heicName) {
    const CZelboString extension = extensionOf(heicName);
    const std::u16string_view name = heicName.view();
    const bool lowerCase = asciiLowerCase(extension.view()) == extension.view();
    return CZelboString(name.data(), static_cast<int>(name.size() - extension.view().size()))
        .concat(lowerCase ? u".jpg" : u".JPG");
}

}  // namespace HeicName
