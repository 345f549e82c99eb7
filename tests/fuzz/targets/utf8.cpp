// UTF-8 and UTF-16 conversions of device text: both directions, and each result converts back
// to itself once ill-formed input has become U+FFFD.
#include <string>

#include "fuzztargets.h"
#include "values/unicode.h"
#include "values/zelbostring.h"

void fuzzUtf8(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::u16string utf16 = utf8ToUtf16(bytes);
    const std::string utf8 = utf16ToUtf8(utf16);
    fuzzCheck(utf8ToUtf16(utf8) == utf16, "UTF-8 made of UTF-16 reads back as that UTF-16");
    fuzzCheck(utf8ToAnsi(bytes) == utf8, "ANSI text is UTF-8 with U+FFFD for ill-formed bytes");
    fuzzCheck(asciiLowerCase(utf16).size() == utf16.size(), "lower case keeps the length");
    const std::u16string_view beforeNul = std::u16string_view(utf16).substr(0, utf16.find(u'\0'));
    fuzzCheck(CZelboString::fromUtf8(bytes).view() == beforeNul,
              "CZelboString converts alike, up to the first NUL");

    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    const std::string fromUnits = utf16ToUtf8(units);
    fuzzCheck(utf16ToUtf8(utf8ToUtf16(fromUnits)) == fromUnits,
              "UTF-16 with unpaired surrogates replaced converts back to itself");
}
