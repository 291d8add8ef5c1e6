// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_TEXT_CODEC_H_
#define VARNOKET_PLATFORM_TEXT_CODEC_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace varnoket::platform {

// The largest byte or code-unit count that the conversions below accept. The
// Windows conversion calls take 32-bit signed lengths; the same limit holds on
// every platform so that a file behaves alike everywhere.
inline constexpr std::size_t kMaxConvertibleLength = 0x7FFFFFFF;

// Replaces "*out" with the UTF-16 form of the UTF-8 text "bytes". Each
// malformed or truncated sequence, overlong form, surrogate code point or value
// above U+10FFFF becomes one U+FFFD; decoding never stops early. Returns true
// when the input was well-formed UTF-8.
bool DecodeUtf8(std::string_view bytes, std::u16string* out);

// True when DecodeUtf8 would find "bytes" well-formed, without decoding them.
bool IsWellFormedUtf8(std::string_view bytes);

// The length (1 to 4) of the well-formed UTF-8 sequence that "bytes" begins
// with, by the rules DecodeUtf8 applies; 0 when they begin with none (or are
// empty).
std::size_t Utf8SequenceLength(std::string_view bytes);

// Appends the UTF-8 form of "text" to "*out". An unpaired surrogate is written
// as U+FFFD.
void AppendUtf8(std::u16string_view text, std::string* out);

// True where the system's 8-bit code page is ISO-8859-1, so that decoding maps
// byte n to code point n and encoding what was decoded gives the bytes back.
// Text in it can then be parsed and copied as bytes, with no conversion.
#ifdef _WIN32
inline constexpr bool kSystemCodePageIsLatin1 = false;
#else
inline constexpr bool kSystemCodePageIsLatin1 = true;
#endif

// Replaces "*out" with "bytes" decoded in the system's 8-bit code page: the
// ANSI code page on Windows, ISO-8859-1 (byte n is code point n) elsewhere.
// Returns false, leaving "*out" empty, when the input is longer than
// kMaxConvertibleLength or the platform conversion fails.
bool DecodeSystemCodePage(std::string_view bytes, std::u16string* out);

// Appends "text" encoded in the system's 8-bit code page to "*out". Characters
// the code page lacks are replaced as the platform does by default ("?" for
// everything above U+00FF outside Windows). Returns false, leaving "*out" as it
// was, when the text is too long to convert or the conversion fails.
bool AppendSystemCodePage(std::u16string_view text, std::string* out);

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_TEXT_CODEC_H_
