// SPDX-License-Identifier: MIT
#ifndef VARNOKET_SGF_SGF_TEXT_H_
#define VARNOKET_SGF_SGF_TEXT_H_

// The characters of SGF text and the escaping of property values, shared by
// the parser, the writer and the one-pass cleaner. Text is code units of
// either width: bytes, or UTF-16 (where every unit above 0xFF is a character
// of its own and never punctuation). Every character the grammar looks at is
// ASCII, and a unit is punctuation only where it is a character of its own in
// the text's ByteGrouping.
#include <array>
#include <cstddef>

#include "sgf/charset.h"

namespace varnoket::grammar {

// The classes of the units the grammar looks at, as bits.
enum CharClass : unsigned char {
  kWhitespace = 1,    // TAB, LF, VT, CR and SPACE; nothing else
  kLetter = 2,        // "A" to "Z", the letters of identifiers
  kValueStop = 4,     // "]" and the backslash, which end a run of value text
  kNodeEnd = 8,       // "(", ")" and ";", which end a node
  kMayLead = 16,      // ESC and every byte above 0x7F: in some ByteGrouping
                      // they start characters of several units (MayLead)
  kLowerLetter = 32,  // "a" to "z", which older formats allowed in identifiers
};

// The classes of every unit below 256.
inline constexpr auto kCharClasses = [] {
  std::array<unsigned char, 256> classes{};
  for (const char c : {'\t', '\n', '\v', '\r', ' '})
    classes[static_cast<unsigned char>(c)] |= kWhitespace;
  for (char c = 'A'; c <= 'Z'; ++c) classes[static_cast<unsigned char>(c)] |= kLetter;
  for (char c = 'a'; c <= 'z'; ++c) classes[static_cast<unsigned char>(c)] |= kLowerLetter;
  for (const char c : {']', '\\'}) classes[static_cast<unsigned char>(c)] |= kValueStop;
  for (const char c : {'(', ')', ';'}) classes[static_cast<unsigned char>(c)] |= kNodeEnd;
  classes[kEscape] |= kMayLead;
  for (unsigned b = 0x80; b < 256; ++b) classes[b] |= kMayLead;
  return classes;
}();

// True when the unit belongs to one of "classes".
template <typename Char>
constexpr bool InClass(Char c, unsigned char classes) {
  const char32_t unit = Unit(c);
  return unit < kCharClasses.size() && (kCharClasses[unit] & classes) != 0;
}

// The end of the run of units from "p" that are plain value text in every
// grouping: no "]", no backslash, nothing that may lead a longer character.
template <typename Char>
const Char* SkipPlainText(const Char* p, const Char* end) {
  while (p != end && !InClass(*p, kValueStop | kMayLead)) ++p;
  return p;
}

// Whether "p" starts a value of two plain units closed by "]", as a move's
// two letters are: such a value stands for itself in every grouping.
template <typename Char>
bool IsTwoLetterValue(const Char* p, const Char* end) {
  return end - p > 2 && Unit(p[2]) == ']' && !InClass(p[0], kValueStop | kMayLead) &&
         !InClass(p[1], kValueStop | kMayLead);
}

// Where a value ends: the "]" that closes it, or null when the text ends
// first, and whether the value holds an escaping backslash.
template <typename Char>
struct ValueEnd {
  const Char* close;
  bool escaped;
};

// Finds the end of a value whose text starts at "p": the first "]" that is a
// character of its own and that no backslash escapes (a backslash takes the
// whole character after it).
template <typename Char>
ValueEnd<Char> FindValueEndFrom(ByteGrouping grouping, const Char* p, const Char* end,
                                bool escaped) {
  for (;;) {
    p = SkipPlainText(p, end);
    if (p == end) return {nullptr, escaped};
    if (Unit(*p) == ']') return {p, escaped};
    if (Unit(*p) == '\\') {
      escaped = true;
      if (++p == end) return {nullptr, escaped};
    }
    p += CharacterLength(grouping, p, end);
  }
}

// Inlined: it is the inner loop of reading and of the one-pass cleaner.
template <typename Char>
[[gnu::always_inline]] inline ValueEnd<Char> FindValueEnd(ByteGrouping grouping, const Char* p,
                                                          const Char* end) {
  // Most values are plain text up to their "]", such as a move's two letters.
  p = SkipPlainText(p, end);
  if (p != end && Unit(*p) == ']') return {p, false};
  return FindValueEndFrom(grouping, p, end, false);
}

// Appends the plain text of [p, end) to "*out" run by run; at each other unit
// calls "other(q)", which appends what it makes of the character at q and
// returns where the text goes on.
template <typename Char, typename Text, typename Other>
void CopyPlainText(const Char* p, const Char* end, Text* out, Other other) {
  for (;;) {
    const Char* const run = SkipPlainText(p, end);
    out->append(p, run);
    if (run == end) return;
    p = other(run);
  }
}

// Appends the value [p, end) without its escaping backslashes: each one is
// dropped and the character after it kept whole. "Text" is any string type of
// Char.
template <typename Char, typename Text>
void AppendUnescaped(ByteGrouping grouping, const Char* p, const Char* end, Text* out) {
  CopyPlainText(p, end, out, [&](const Char* q) {
    if (Unit(*q) == '\\' && ++q == end) return end;  // a value never ends so
    const Char* const next = q + CharacterLength(grouping, q, end);
    out->append(q, next);
    return next;
  });
}

// Appends the stored value [p, end) as it stands between "[" and "]" in SGF
// text, so that reading it gives the value back: each "\" and "]" that is a
// character of its own takes a backslash. An ISO-2022-JP two-byte run that the
// value ends inside would run on over the closing "]", so its ESC is followed
// by a backslash and the run is written as single bytes. (A value that ends in
// a lead byte missing its trail byte cannot be written so that it reads back;
// reading never gives one.)
template <typename Char, typename Text>
void AppendEscaped(ByteGrouping grouping, const Char* p, const Char* end, Text* out) {
  CopyPlainText(p, end, out, [&](const Char* q) {
    if (InClass(*q, kValueStop)) {
      out->push_back(static_cast<Char>('\\'));
      out->push_back(*q);
      return q + 1;
    }
    const Character character = MeasureCharacter(grouping, q, end);
    if (character.runCutShort) {
      out->push_back(*q);
      out->push_back(static_cast<Char>('\\'));
      return q + 1;
    }
    out->append(q, q + character.length);
    return q + character.length;
  });
}

}  // namespace varnoket::grammar

#endif  // VARNOKET_SGF_SGF_TEXT_H_
