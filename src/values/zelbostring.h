#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "values/textformatter.h"

/**
 * The UTF-16 text type of the device side and most of the user interface.
 *
 * Texts of up to kInlineCapacity - 2 code units live inside the object; longer ones in a heap
 * block. Lengths are counted in UTF-16 code units. A text ends at its first zero unit: every
 * operation that takes a count stops there too. Also thrown as the exception of device monitoring.
 */
class CZelboString {
public:
    static constexpr int kInlineCapacity = 64;
    static constexpr int kMaxInlineLength = kInlineCapacity - 2;

    CZelboString() noexcept;
    CZelboString(const char16_t* text);  // NOLINT(google-explicit-constructor): literals read well
    CZelboString(const char16_t* text, int count);
    CZelboString(const CZelboString& other);
    CZelboString(CZelboString&& other) noexcept;
    CZelboString& operator=(const CZelboString& other);
    CZelboString& operator=(CZelboString&& other) noexcept;
    ~CZelboString();

    /** Decodes UTF-8; invalid sequences become U+FFFD, nothing is read past the view. */
    static CZelboString fromUtf8(std::string_view utf8);
    std::string toUtf8() const;

    /** Copies count units (all when negative) of text; null counts as "". */
    void assign(const char16_t* text, int count = -1);
    void assignOrClear(const char16_t* text);
    /** Decodes zero-terminated narrow text of the system code page (UTF-8 here); null gives "". */
    void assignAnsi(const char* bytes);
    void append(const char16_t* text);
    void append(const CZelboString& text) { append(text.chars_); }

    CZelboString concat(const CZelboString& other) const;
    CZelboString concat(const char16_t* text) const;

    bool equals(const char16_t* text) const;
    bool operator==(const CZelboString& other) const { return view() == other.view(); }
    bool operator==(const char16_t* text) const { return equals(text); }
    /** Ordinal comparison of code units; a prefix orders first. */
    int compare(const CZelboString& other) const { return view().compare(other.view()); }

    CZelboString left(int n) const;
    /** count units from start; negative count means to the end; ranges are cut at the end. */
    CZelboString mid(int start, int count = -1) const;
    CZelboString right(int n) const;

    /** Left-to-right, resuming after each inserted replacement; null replacement deletes. */
    int replaceAll(const char16_t* pattern, const char16_t* replacement);
    void trimTrailing(char16_t ch);
    void trimLeadingSpaces();

    /**
     * Formats with the Windows wvsprintfW rules and assigns the result, cut at kMaxFormatLength
     * units. Returns the number of units written.
     */
    template <typename... Args>
    int format(const char16_t* fmt, const Args&... args) {
        const FormatArgument list[] = {FormatArgument(args)..., FormatArgument()};
        return formatList(fmt, FormatArguments(list, sizeof...(Args)));
    }
    int formatList(const char16_t* fmt, FormatArguments args);

    /** h = h * 33 + unit, over the units from the last to the first, modulo 2^32. */
    uint32_t hash() const;

    const char16_t* c_str() const { return chars_; }
    int length() const { return length_; }
    bool isEmpty() const { return length_ == 0; }
    std::u16string_view view() const { return {chars_, static_cast<size_t>(length_)}; }
    /** True while the text is kept inside the object. */
    bool isInline() const { return chars_ == inline_; }

private:
    void setText(std::u16string_view text);
    void freeHeap() noexcept;

    char16_t* chars_;
    char16_t inline_[kInlineCapacity];
    int length_ = 0;
};

/** Ordinal less-than, for ordered containers keyed by text. */
struct ZelboStringLess {
    bool operator()(const CZelboString& a, const CZelboString& b) const { return a.compare(b) < 0; }
};
