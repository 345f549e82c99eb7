#include "values/bytesize.h"

#include <charconv>
#include <cmath>

namespace {

CZelboString twoDecimals(double value, const char16_t* unit) {
    char digits[64];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 2).ptr;
    CZelboString text = CZelboString::fromUtf8(std::string_view(digits, end - digits));
    text.append(unit);
    return text;
}

}  // namespace

CZelboString formatByteSize(int64_t size) {
    constexpr int64_t kKilo = int64_t{1} << 10;
    constexpr int64_t kMega = int64_t{1} << 20;
    constexpr int64_t kGiga = int64_t{1} << 30;
    constexpr int64_t kTera = int64_t{1} << 40;
    if (size == 0)
        return u"0";
    if (size < kKilo) {
        CZelboString text;
        text.format(u"%I64d byte%s", size, size == 1 ? u"" : u"s");
        return text;
    }
    if (size < kMega) {
        // Single precision, as the kilobyte figures have always been computed.
        return twoDecimals(static_cast<float>(size) * (1.0f / 1024.0f), u" KB");
    }
    if (size < kGiga)
        return twoDecimals(std::ldexp(static_cast<double>(size), -20), u" MB");
    if (size < kTera)
        return twoDecimals(std::ldexp(static_cast<double>(size), -30), u" GB");
    return twoDecimals(std::ldexp(static_cast<double>(size), -40), u" TB");
}
