#include "values/zelbostring.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "values/unicode.h"

namespace {

// The text up to its terminator, but no more than count units when count is not negative.
std::u16string_view textView(const char16_t* text, int count = -1) {
    if (text == nullptr)
        return {};
    size_t length = 0;
    const auto limit = count < 0 ? SIZE_MAX : static_cast<size_t>(count);
    while (length < limit && text[length] != 0)
        ++length;
    return {text, length};
}

}  // namespace

CZelboString::CZelboString() noexcept : chars_(inline_) {
    inline_[0] = 0;
}

CZelboString::CZelboString(const char16_t* text) : CZelboString() {
    assign(text);
}

CZelboString::CZelboString(const char16_t* text, int count) : CZelboString() {
    assign(text, count);
}

CZelboString::CZelboString(const CZelboString& other) : CZelboString() {
    setText(other.view());
}

CZelboString::CZelboString(CZelboString&& other) noexcept : CZelboString() {
    *this = std::move(other);
}

CZelboString& CZelboString::operator=(const CZelboString& other) {
    if (this != &other)
        setText(other.view());
    return *this;
}

CZelboString& CZelboString::operator=(CZelboString&& other) noexcept {
    if (this == &other)
        return *this;
    if (other.isInline()) {
        freeHeap();
        std::copy_n(other.inline_, other.length_ + 1, inline_);
    } else {
        freeHeap();
        chars_ = other.chars_;
        other.chars_ = other.inline_;
    }
    length_ = other.length_;
    other.inline_[0] = 0;
    other.length_ = 0;
    return *this;
}

CZelboString::~CZelboString() {
    freeHeap();
}

void CZelboString::freeHeap() noexcept {
    if (!isInline())
        delete[] chars_;
    chars_ = inline_;
}

// The storage rule: inline up to kMaxInlineLength units; above, the heap block is reused unless
// the current text is shorter than the new one, in which case a block of exactly length + 1 is
// made. The text may point into this string's own storage, and ends at its first zero unit.
void CZelboString::setText(std::u16string_view text) {
    text = text.substr(0, text.find(u'\0'));
    const int length = static_cast<int>(text.size());
    // An empty view may carry a null pointer, which memmove must not be given even for no bytes.
    if (length <= kMaxInlineLength) {
        if (length > 0)
            std::memmove(inline_, text.data(), text.size() * sizeof(char16_t));
        inline_[length] = 0;
        freeHeap();
    } else if (!isInline() && length <= length_) {
        std::memmove(chars_, text.data(), text.size() * sizeof(char16_t));
        chars_[length] = 0;
    } else {
        auto* block = new char16_t[text.size() + 1];
        std::copy(text.begin(), text.end(), block);
        block[length] = 0;
        freeHeap();
        chars_ = block;
    }
    length_ = length;
}

CZelboString CZelboString::fromUtf8(std::string_view utf8) {
    const std::u16string text = utf8ToUtf16(utf8);
    CZelboString result;
    result.setText(text);
    return result;
}

std::string CZelboString::toUtf8() const {
    return utf16ToUtf8(view());
}

void CZelboString::assign(const char16_t* text, int count) {
    setText(textView(text, count));
}

void CZelboString::assignOrClear(const char16_t* text) {
    assign(text);
}

void CZelboString::assignAnsi(const char* bytes) {
    *this = fromUtf8(bytes ? std::string_view(bytes) : std::string_view());
}

void CZelboString::append(const char16_t* text) {
    const std::u16string_view tail = textView(text);
    if (tail.empty())
        return;
    std::u16string joined(view());
    joined += tail;
    setText(joined);
}

CZelboString CZelboString::concat(const CZelboString& other) const {
    return concat(other.c_str());
}

CZelboString CZelboString::concat(const char16_t* text) const {
    CZelboString result(*this);
    result.append(text);
    return result;
}

bool CZelboString::equals(const char16_t* text) const {
    return view() == textView(text);
}

CZelboString CZelboString::left(int n) const {
    return mid(0, std::clamp(n, 0, length_));
}

CZelboString CZelboString::mid(int start, int count) const {
    if (start < 0 || start >= length_ || count == 0)
        return {};
    const int available = length_ - start;
    const int taken = count < 0 ? available : std::min(count, available);
    return CZelboString(chars_ + start, taken);
}

CZelboString CZelboString::right(int n) const {
    const int taken = std::clamp(n, 0, length_);
    return mid(length_ - taken, taken);
}

int CZelboString::replaceAll(const char16_t* pattern, const char16_t* replacement) {
    const std::u16string_view find = textView(pattern);
    if (find.empty())
        return 0;
    const std::u16string_view put = textView(replacement);
    std::u16string text(view());
    int replaced = 0;
    for (size_t at = text.find(find); at != std::u16string::npos;
         at = text.find(find, at + put.size())) {
        text.replace(at, find.size(), put);
        ++replaced;
    }
    if (replaced > 0)
        setText(text);
    return replaced;
}

void CZelboString::trimTrailing(char16_t ch) {
    int length = length_;
    while (length > 0 && chars_[length - 1] == ch)
        --length;
    if (length != length_)
        setText(view().substr(0, static_cast<size_t>(length)));
}

void CZelboString::trimLeadingSpaces() {
    int start = 0;
    while (start < length_ && chars_[start] == u' ')
        ++start;
    if (start > 0)
        setText(view().substr(static_cast<size_t>(start)));
}

int CZelboString::formatList(const char16_t* fmt, FormatArguments args) {
    setText(formatText(fmt, args, kMaxFormatLength));
    return length_;
}

uint32_t CZelboString::hash() const {
    uint32_t h = 0;
    for (int i = length_ - 1; i >= 0; --i)
        h = h * 33 + chars_[i];
    return h;
}
