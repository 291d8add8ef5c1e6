// SPDX-License-Identifier: MIT
#ifndef VARNOKET_SGF_UTF8_H_
#define VARNOKET_SGF_UTF8_H_

// The UTF-8 rules, identical on every platform.
#include <cstddef>
#include <string>
#include <string_view>

namespace varnoket {

// The largest byte or code-unit count that a text conversion accepts. The
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

}  // namespace varnoket

#endif  // VARNOKET_SGF_UTF8_H_
