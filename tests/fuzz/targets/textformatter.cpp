// wvsprintfW-style formatting with a format from the input and arguments of every kind, more or
// fewer than the format asks for, and a cut taken from the input.
#include <string>
#include <vector>

#include "fuzzinput.h"
#include "fuzztargets.h"
#include "values/textformatter.h"
#include "values/unicode.h"
#include "values/zelbostring.h"

void fuzzTextFormatter(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const size_t maxLength = input.byte() * 8u;
    const std::u16string format = utf8ToUtf16(input.text());
    const std::u16string wideText = utf8ToUtf16(input.text());
    const std::string narrowText = input.text();
    std::vector<FormatArgument> arguments;
    while (!input.empty() && arguments.size() < 16) {
        switch (input.byte() % 6) {
            case 0:
                arguments.emplace_back(static_cast<int32_t>(input.byte() * 0x01010101u));
                break;
            case 1:
                arguments.emplace_back(static_cast<uint64_t>(input.byte()) << 56 | 0xff);
                break;
            case 2:
                arguments.emplace_back(static_cast<int64_t>(-1) - input.byte());
                break;
            case 3:
                arguments.emplace_back(wideText.c_str());
                break;
            case 4:
                arguments.emplace_back(narrowText.c_str());
                break;
            default:
                arguments.emplace_back(static_cast<const char16_t*>(nullptr));
                break;
        }
    }
    const std::u16string text =
        formatText(format.c_str(), FormatArguments(arguments.data(), arguments.size()), maxLength);
    fuzzCheck(text.size() <= maxLength, "the output stops at its cut");
    CZelboString formatted;
    formatted.formatList(format.c_str(), FormatArguments(arguments.data(), arguments.size()));
    fuzzCheck(formatted.view().size() <= kMaxFormatLength, "CZelboString::format cuts its text");
}
