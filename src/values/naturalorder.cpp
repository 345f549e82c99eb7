#include "values/naturalorder.h"

namespace {

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

char16_t folded(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// The run of digits at the start of text, without its leading zeros.
std::u16string_view significantDigits(std::u16string_view digits) {
    const size_t first = digits.find_first_not_of(u'0');
    return first == std::u16string_view::npos ? std::u16string_view() : digits.substr(first);
}

size_t digitRun(std::u16string_view text, size_t from) {
    size_t end = from;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    return end - from;
}

}  // namespace

int naturalCompare(std::u16string_view a, std::u16string_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const size_t lengthA = digitRun(a, i);
            const size_t lengthB = digitRun(b, j);
            // Numbers of any length: fewer significant digits is smaller, else digit by digit.
            const std::u16string_view numberA = significantDigits(a.substr(i, lengthA));
            const std::u16string_view numberB = significantDigits(b.substr(j, lengthB));
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size() ? -1 : 1;
            if (const int order = numberA.compare(numberB); order != 0)
                return order;
            i += lengthA;
            j += lengthB;
            continue;
        }
        const char16_t x = folded(a[i]);
        const char16_t y = folded(b[j]);
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return a.compare(b);
}
