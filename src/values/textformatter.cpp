#include "values/textformatter.h"

#include <algorithm>
#include <climits>

#include "values/unicode.h"
#include "values/zelbostring.h"

FormatArgument::FormatArgument(const CZelboString& text) : FormatArgument(text.c_str()) {}

uint64_t FormatArgument::bits() const {
    switch (kind_) {
        case Kind::Signed:
            return static_cast<uint64_t>(signed_);
        case Kind::Unsigned:
            return unsigned_;
        default:
            return 0;
    }
}

const FormatArgument& FormatArguments::next() {
    return used_ < list_.size() ? list_[used_++] : none_;
}

namespace {

enum class Conversion { Unknown, Char, Signed, Unsigned, Hex, Utf16Text, NarrowText };

struct Field {
    bool leftAlign = false;
    bool hexPrefix = false;
    bool zeroPad = false;
    size_t width = 0;
    size_t precision = 0;
    int bits = 32;  // argument size: 32, the platform's long, or 64
    bool narrow = false;
    bool upperHex = false;
    Conversion conversion = Conversion::Unknown;
};

size_t readNumber(const char16_t*& p) {
    size_t n = 0;
    while (*p >= u'0' && *p <= u'9') {
        if (n < kMaxFormatLength)
            n = n * 10 + static_cast<size_t>(*p - u'0');
        ++p;
    }
    return n;
}

// Parses the conversion field after "%" and leaves p on its conversion letter.
Field parseField(const char16_t*& p) {
    Field field;
    if (*p == u'-')
        field.leftAlign = true, ++p;
    if (*p == u'#')
        field.hexPrefix = true, ++p;
    if (*p == u'0')
        field.zeroPad = true, ++p;
    field.width = readNumber(p);
    if (*p == u'.') {
        ++p;
        field.precision = readNumber(p);
    }
    bool longSize = false;
    bool shortSize = false;
    if (*p == u'l') {
        longSize = true, ++p;
        field.bits = static_cast<int>(sizeof(long) * CHAR_BIT);
    } else if (*p == u'h') {
        shortSize = true, ++p;
    } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
        field.bits = 64, p += 3;
    }
    switch (*p) {
        case u'c':
        case u'C':
            field.conversion = Conversion::Char;
            break;
        case u'd':
        case u'i':
            field.conversion = Conversion::Signed;
            break;
        case u'u':
            field.conversion = Conversion::Unsigned;
            break;
        case u'X':
            field.upperHex = true;
            [[fallthrough]];
        case u'x':
            field.conversion = Conversion::Hex;
            break;
        case u's':
            field.conversion = shortSize ? Conversion::NarrowText : Conversion::Utf16Text;
            break;
        case u'S':
            field.conversion = longSize ? Conversion::Utf16Text : Conversion::NarrowText;
            break;
        default:
            break;
    }
    if (field.leftAlign)
        field.zeroPad = false;
    return field;
}

uint64_t truncated(uint64_t value, int bits) {
    return bits >= 64 ? value : value & ((uint64_t{1} << bits) - 1);
}

int64_t signExtended(uint64_t value, int bits) {
    if (bits >= 64)
        return static_cast<int64_t>(value);
    const uint64_t sign = uint64_t{1} << (bits - 1);
    return static_cast<int64_t>((truncated(value, bits) ^ sign) - sign);
}

// Digits of a number with its sign or hex prefix, before padding.
struct Number {
    std::u16string lead;
    std::u16string digits;
};

Number numberText(const Field& field, uint64_t raw) {
    Number number;
    uint64_t magnitude = truncated(raw, field.bits);
    if (field.conversion == Conversion::Signed) {
        const int64_t value = signExtended(raw, field.bits);
        if (value < 0) {
            number.lead = u"-";
            magnitude = 0 - static_cast<uint64_t>(value);
        }
    }
    const unsigned base = field.conversion == Conversion::Hex ? 16 : 10;
    if (field.conversion == Conversion::Hex && field.hexPrefix)
        number.lead = field.upperHex ? u"0X" : u"0x";
    const char16_t* symbols = field.upperHex ? u"0123456789ABCDEF" : u"0123456789abcdef";
    do {
        number.digits.insert(number.digits.begin(), symbols[magnitude % base]);
        magnitude /= base;
    } while (magnitude != 0);
    return number;
}

class Output {
public:
    explicit Output(size_t maxLength) : max_(maxLength) {}
    bool full() const { return text_.size() >= max_; }
    void put(char16_t unit) {
        if (!full())
            text_.push_back(unit);
    }
    void put(std::u16string_view units) {
        for (char16_t unit : units)
            put(unit);
    }
    void repeat(char16_t unit, size_t count) {
        for (size_t i = 0; i < count && !full(); ++i)
            put(unit);
    }
    std::u16string take() { return std::move(text_); }

private:
    std::u16string text_;
    size_t max_;
};

// Places body in a field of the field's width: spaces before it, or after it when left-aligned.
void putField(Output& out, const Field& field, std::u16string_view body) {
    const size_t padding = field.width > body.size() ? field.width - body.size() : 0;
    if (!field.leftAlign)
        out.repeat(u' ', padding);
    out.put(body);
    if (field.leftAlign)
        out.repeat(u' ', padding);
}

std::u16string textBody(const Field& field, const FormatArgument& argument) {
    std::u16string text;
    if (field.conversion == Conversion::NarrowText) {
        const char* narrow = argument.narrow();
        text = narrow ? utf8ToUtf16(narrow) : u"(null)";
    } else {
        const char16_t* utf16 = argument.utf16();
        text = utf16 ? utf16 : u"(null)";
    }
    if (field.precision > 0 && text.size() > field.precision)
        text.resize(field.precision);
    return text;
}

std::u16string numberBody(const Field& field, const FormatArgument& argument) {
    const Number number = numberText(field, argument.bits());
    // The precision counts the sign, as wvsprintfW counts it; zero padding fills the width.
    size_t minimum = std::max(field.precision, number.lead.size() + number.digits.size());
    if (field.zeroPad)
        minimum = std::max(minimum, field.width);
    std::u16string body = number.lead;
    body.append(minimum - number.lead.size() - number.digits.size(), u'0');
    body += number.digits;
    return body;
}

}  // namespace

std::u16string formatText(const char16_t* fmt, FormatArguments args, size_t maxLength) {
    Output out(maxLength);
    const char16_t* p = fmt ? fmt : u"";
    while (*p != 0 && !out.full()) {
        if (*p != u'%') {
            out.put(*p++);
            continue;
        }
        ++p;
        if (*p == u'%') {
            out.put(*p++);
            continue;
        }
        const Field field = parseField(p);
        switch (field.conversion) {
            case Conversion::Unknown:
                // The letter is printed as ordinary text by the next round; a field cut off by the
                // end of the format prints nothing.
                continue;
            case Conversion::Char:
                putField(out, field, std::u16string(1, static_cast<char16_t>(args.next().bits())));
                break;
            case Conversion::Utf16Text:
            case Conversion::NarrowText:
                putField(out, field, textBody(field, args.next()));
                break;
            case Conversion::Signed:
            case Conversion::Unsigned:
            case Conversion::Hex:
                putField(out, field, numberBody(field, args.next()));
                break;
        }
        ++p;
    }
    return out.take();
}
