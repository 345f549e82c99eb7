#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

class CZelboString;

/**
 * One argument of a wvsprintfW-style format, captured with its type so that a conversion that
 * does not match its argument, or a missing argument, formats as 0 or "" instead of reading
 * foreign memory.
 */
class FormatArgument {
public:
    enum class Kind { None, Signed, Unsigned, Utf16Text, NarrowText };

    FormatArgument() = default;
    template <std::integral T>
    FormatArgument(T value) {  // NOLINT(google-explicit-constructor)
        if constexpr (std::is_signed_v<T>) {
            kind_ = Kind::Signed;
            signed_ = value;
        } else {
            kind_ = Kind::Unsigned;
            unsigned_ = value;
        }
    }
    FormatArgument(const char16_t* text) : kind_(Kind::Utf16Text), utf16_(text) {}  // NOLINT
    FormatArgument(const char* text) : kind_(Kind::NarrowText), narrow_(text) {}    // NOLINT
    FormatArgument(const CZelboString& text);                                       // NOLINT
    FormatArgument(const std::u16string& text) : FormatArgument(text.c_str()) {}    // NOLINT

    Kind kind() const { return kind_; }
    /** The integer's bits; 0 for texts and missing arguments. */
    uint64_t bits() const;
    /** The text, null when the argument is not a UTF-16 text or is a null pointer. */
    const char16_t* utf16() const { return kind_ == Kind::Utf16Text ? utf16_ : nullptr; }
    const char* narrow() const { return kind_ == Kind::NarrowText ? narrow_ : nullptr; }

private:
    Kind kind_ = Kind::None;
    union {
        int64_t signed_ = 0;
        uint64_t unsigned_;
        const char16_t* utf16_;
        const char* narrow_;
    };
};

/** The arguments of one format call, consumed left to right. */
class FormatArguments {
public:
    FormatArguments(const FormatArgument* list, size_t count) : list_(list, count) {}
    const FormatArgument& next();

private:
    std::span<const FormatArgument> list_;
    size_t used_ = 0;
    FormatArgument none_;
};

/**
 * Formats fmt with the rules of Windows' wvsprintfW: flags "-", "#", "0" in that order, width,
 * ".precision", size prefixes "l", "h", "I64", conversions c C d i s S u x X and "%%". "%s" takes
 * UTF-16 text, "%S" and "%hs" narrow (UTF-8) text; "%d" "%u" "%x" take 32 bits, "%l…" the
 * platform's long and "%I64…" 64 bits; a null text prints "(null)"; an unknown conversion prints
 * its letter. Output stops at maxLength units.
 */
std::u16string formatText(const char16_t* fmt, FormatArguments args, size_t maxLength);

/** The cut of CZelboString::format. */
constexpr size_t kMaxFormatLength = 1024;
