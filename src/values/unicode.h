#pragma once

#include <string>
#include <string_view>

/**
 * Conversions between UTF-8 and UTF-16. Nothing is read outside the given view. Ill-formed input
 * (invalid or truncated UTF-8 sequences, overlong forms, encoded surrogates, unpaired UTF-16
 * surrogates) becomes U+FFFD, one per maximal ill-formed subpart, so no text is dropped silently.
 */
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

/**
 * Text from a device on its way to the system's narrow code page. UTF-8 stands in for the ANSI
 * code page here, so every character survives; ill-formed bytes become U+FFFD.
 */
std::string utf8ToAnsi(std::string_view utf8);

/**
 * The text with the ASCII letters A to Z in lower case and every other unit as it is: enough for
 * names whose case only ASCII letters can change (extensions, device names compared loosely).
 */
std::u16string asciiLowerCase(std::u16string_view text);
