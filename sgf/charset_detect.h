// SPDX-License-Identifier: MIT
#ifndef VARNOKET_SGF_CHARSET_DETECT_H_
#define VARNOKET_SGF_CHARSET_DETECT_H_

// Recognises the charset of a record that declares none, from its own bytes.
// Made for SGF: a few short names in a lot of ASCII syntax, where detectors
// trained on long text fail. One definition for every platform, so a file
// gets the same label on Linux and on Windows.
#include <optional>
#include <string>
#include <string_view>

#include "sgf/charset.h"

namespace varnoket {

// The charset of "bytes", or nothing when no candidate is clearly ahead (a
// wrong label is worse than none). Candidates: UTF-8 with a few damaged
// bytes, GBK (GB18030 when a four-byte form occurs), Big5, Shift_JIS,
// EUC-JP, EUC-KR (CP949 when a UHC extension syllable occurs), windows-1251,
// KOI8-R and windows-1252.
//
// A candidate must decode every non-ASCII byte, grouped by its byte rules.
// Then the valid ones are weighed by which characters each decoding lands on:
// the blocks the encodings themselves set apart as everyday characters
// (GB2312 level 1, the Big5 frequently-used block, JIS X 0208 level 1 and
// kana, the 2,350 KS X 1001 Hangul syllables) against the rare and
// user-defined blocks where a wrong decoding falls, with the record's own
// hints (RU[Japanese], a place name) as a small prior.
//
// Nothing for pure ASCII, for bytes with a NUL (UTF-16 text), and for text
// that is well-formed UTF-8 throughout: those are not this function's to
// label. The name returned is one KnownCharsets() or NamesUtf8 accepts.
std::optional<CharsetName> DetectCharset(std::string_view bytes);

// What detection, asked for (AssumedCharset::detect), made of one file.
struct CharsetDetection {
  bool tried = false;   // the file named no charset or claimed UTF-8, and was not UTF-8
  std::string charset;  // the charset found; empty when undecided
};

}  // namespace varnoket

#endif  // VARNOKET_SGF_CHARSET_DETECT_H_
