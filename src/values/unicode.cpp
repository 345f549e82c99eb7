#include "values/unicode.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes one scalar value at utf8[i] and advances i past it, or past the maximal ill-formed
// subpart (giving U+FFFD), following the Unicode recommendation for replacement.
char32_t decodeUtf8(std::string_view utf8, size_t& i) {
    const auto lead = static_cast<unsigned char>(utf8[i++]);
    if (lead < 0x80)
        return lead;
    size_t trailing;
    char32_t value;
    unsigned char low = 0x80;  // range of the first continuation byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        value = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;  // no overlong forms
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        value = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;  // nothing above U+10FFFF
    } else {
        return kReplacement;
    }
    for (size_t n = 0; n < trailing; ++n) {
        if (i >= utf8.size())
            return kReplacement;
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (n == 0 ? (byte < low || byte > high) : !isContinuation(byte))
            return kReplacement;
        value = (value << 6) | (byte & 0x3F);
        ++i;
    }
    return value;
}

void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();)
        appendUtf16(out, decodeUtf8(utf8, i));
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        char32_t c = unit;
        if (isHighSurrogate(unit) && i + 1 < utf16.size() && isLowSurrogate(utf16[i + 1])) {
            c = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{utf16[i + 1]} - 0xDC00);
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            c = kReplacement;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::string utf8ToAnsi(std::string_view utf8) {
    return utf16ToUtf8(utf8ToUtf16(utf8));
}

std::u16string asciiLowerCase(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& unit : lower) {
        if (unit >= u'A' && unit <= u'Z')
            unit = static_cast<char16_t>(unit - u'A' + u'a');
    }
    return lower;
}
