// SPDX-License-Identifier: MIT
#include "sgf/charset_detect.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "sgf/utf8.h"

namespace varnoket {
namespace {

using G = ByteGrouping;
using Byte = unsigned char;

// A block of characters that an encoding sets apart: the share of the
// characters of a record's text it is taken to hold, and how many characters
// it has. A character of the block weighs log(share / size), counted in
// whole thousandths so that every platform adds up the same numbers.
struct Block {
  double share;
  double size;
  bool everyday;  // the encoding's common characters, its level 2, symbols
};

// Where a decoded character falls. A wrong decoding lands mostly on the rare
// and user-defined blocks, or on nothing valid at all.
enum class Fall : std::uint8_t {
  Invalid,
  Everyday,   // GB2312 level 1, Big5 frequent, JIS level 1, KS X 1001 Hangul
  Symbols,    // punctuation, full-width forms of the same standards
  Kana,       // JIS X 0208 hiragana
  Katakana,   // JIS X 0208 katakana
  Second,     // GB2312 level 2, Big5 less frequent, JIS level 2, KS X 1001 Hanja
  HalfKana,   // JIS X 0201 half-width katakana
  Extension,  // GBK's and UHC's additions to the national standards
  Rare,       // vendor extensions, rarely used rows
  Odd,        // user-defined and unassigned rows
};
constexpr std::size_t kFallCount = 10;

// The blocks of one encoding; a Fall it never yields has share 0.
struct Blocks {
  Block everyday, symbols, kana, katakana, second, halfKana, extension, rare, odd;

  const Block& Of(Fall fall) const {
    switch (fall) {
      case Fall::Everyday:
        return everyday;
      case Fall::Symbols:
        return symbols;
      case Fall::Kana:
        return kana;
      case Fall::Katakana:
        return katakana;
      case Fall::Second:
        return second;
      case Fall::HalfKana:
        return halfKana;
      case Fall::Extension:
        return extension;
      case Fall::Rare:
        return rare;
      case Fall::Invalid:
      case Fall::Odd:
        break;
    }
    return odd;
  }
};

constexpr Block kNone{0, 1, false};

// The share of each block and its size follow the encodings' own division of
// their repertoire; the shares only need to be of the right order.
constexpr Blocks kGbkBlocks = {
    .everyday = {0.96, 3755, true},  // GB2312 level 1
    .symbols = {0.01, 846, true},    // GB2312 rows 1-9
    .kana = kNone,
    .katakana = kNone,
    .second = {0.02, 3008, true},  // GB2312 level 2
    .halfKana = kNone,
    .extension = {0.01, 14240, false},  // GBK's additions
    .rare = {0.0005, 40000, false},     // GB18030 four-byte forms, the euro sign
    .odd = {0.0005, 2500, false},
};
constexpr Blocks kBig5Blocks = {
    .everyday = {0.96, 5401, true},  // frequently used characters
    .symbols = {0.01, 408, true},
    .kana = kNone,
    .katakana = kNone,
    .second = {0.03, 7652, true},  // less frequently used characters
    .halfKana = kNone,
    .extension = kNone,
    .rare = {0.0005, 41, false},  // the ETEN additions of CP950
    .odd = {0.0005, 4000, false},
};
// Japanese text is about half kana.
constexpr Blocks kJisBlocks = {
    .everyday = {0.40, 2965, true},  // JIS X 0208 level 1
    .symbols = {0.02, 282, true},    // rows 1-3
    .kana = {0.35, 83, true},        // hiragana
    .katakana = {0.15, 86, true},
    .second = {0.05, 3390, true},   // level 2
    .halfKana = {0.02, 63, false},  // JIS X 0201 katakana
    .extension = kNone,
    .rare = {0.003, 7000, false},  // NEC and IBM rows, JIS X 0212
    .odd = {0.0002, 3000, false},
};
constexpr Blocks kKoreanBlocks = {
    .everyday = {0.78, 2350, true},  // KS X 1001 Hangul syllables
    .symbols = {0.01, 1100, true},   // rows 1-12
    .kana = kNone,
    .katakana = kNone,
    .second = {0.20, 4888, true},  // Hanja, in which many records write names
    .halfKana = kNone,
    .extension = {0.01, 8822, false},  // the other syllables, UHC
    .rare = kNone,
    .odd = {0.0002, 1000, false},
};
// UTF-8 with damaged bytes: the CJK, kana and Hangul of the three-byte forms,
// the other forms, and each run of stray bytes (a damaged character).
constexpr Blocks kUtf8Blocks = {
    .everyday = {0.90, 30000, true},
    .symbols = kNone,
    .kana = kNone,
    .katakana = kNone,
    .second = {0.05, 1920, false},  // two-byte forms
    .halfKana = kNone,
    .extension = kNone,
    .rare = {0.01, 60000, false},  // other three-byte forms, four-byte forms
    .odd = {0.05, 64, false},      // per stray byte
};

// One decoded character: its length in bytes and where it falls.
struct Decoded {
  std::size_t length;
  Fall fall;
  bool extended = false;   // a GB18030 four-byte form, a UHC syllable
  std::size_t weight = 1;  // how many characters of the block it weighs as
};

constexpr bool In(Byte b, unsigned first, unsigned last) { return b >= first && b <= last; }

// The byte at "i" past "p", or 0 (never a trail byte) past the end.
Byte At(const Byte* p, const Byte* end, std::size_t i) {
  return end - p > static_cast<std::ptrdiff_t>(i) ? p[i] : Byte{0};
}

bool IsTrail(G grouping, Byte b) { return kByteRules[static_cast<std::size_t>(grouping)].trail[b]; }

Decoded DecodeGbk(const Byte* p, const Byte* end) {
  const Byte lead = p[0];
  if (lead == 0x80) return {1, Fall::Rare};  // the euro sign of CP936
  if (lead == 0xFF) return {1, Fall::Invalid};
  const Byte trail = At(p, end, 1);
  if (!IsTrail(G::Gbk, trail)) {
    if (In(trail, 0x30, 0x39) && In(At(p, end, 2), 0x81, 0xFE) && In(At(p, end, 3), 0x30, 0x39)) {
      return {4, Fall::Rare, true};
    }
    return {1, Fall::Invalid};
  }
  if (trail >= 0xA1 && lead >= 0xA1) {
    if (lead <= 0xA9) return {2, Fall::Symbols};
    if (In(lead, 0xB0, 0xD6) || (lead == 0xD7 && trail <= 0xF9)) return {2, Fall::Everyday};
    if (In(lead, 0xD8, 0xF7)) return {2, Fall::Second};
    return {2, Fall::Odd};  // user-defined and unassigned rows
  }
  if (trail < 0xA1 && In(lead, 0xA1, 0xA7)) return {2, Fall::Odd};
  return {2, Fall::Extension};
}

Decoded DecodeBig5(const Byte* p, const Byte* end) {
  const Byte lead = p[0];
  if (lead == 0x80 || lead == 0xFF || !IsTrail(G::Big5, At(p, end, 1))) return {1, Fall::Invalid};
  const unsigned code = (unsigned{lead} << 8) | At(p, end, 1);
  if (In(lead, 0x81, 0xA0) || lead >= 0xFA) return {2, Fall::Odd};
  if (code <= 0xA3BF) return {2, Fall::Symbols};
  if (code < 0xA440) return {2, Fall::Odd};
  if (code <= 0xC67E) return {2, Fall::Everyday};
  if (code < 0xC940) return {2, Fall::Odd};
  if (code <= 0xF9D5) return {2, Fall::Second};
  return {2, Fall::Rare};
}

// A character of JIS X 0208 by row and cell (1 to 94).
Fall JisFall(unsigned row, unsigned cell) {
  if (row <= 3) return Fall::Symbols;
  if (row == 4) return cell <= 83 ? Fall::Kana : Fall::Odd;
  if (row == 5) return cell <= 86 ? Fall::Katakana : Fall::Odd;
  if (row <= 8 || row == 13) return Fall::Rare;  // Greek, Cyrillic, box drawing, NEC
  if (row >= 16 && (row < 47 || (row == 47 && cell <= 51))) return Fall::Everyday;
  if (row >= 48 && (row < 84 || (row == 84 && cell <= 6))) return Fall::Second;
  if (row >= 89 && row <= 92) return Fall::Rare;  // NEC-selected IBM extensions
  return Fall::Odd;
}

Decoded DecodeShiftJis(const Byte* p, const Byte* end) {
  const Byte lead = p[0];
  if (In(lead, 0xA1, 0xDF)) return {1, Fall::HalfKana};
  const Byte trail = At(p, end, 1);
  if (kByteRules[static_cast<std::size_t>(G::ShiftJis)].trailCount[lead] == 0 ||
      !IsTrail(G::ShiftJis, trail)) {
    return {1, Fall::Invalid};
  }
  if (In(lead, 0xF0, 0xF9)) return {2, Fall::Odd};   // user-defined
  if (In(lead, 0xFA, 0xFC)) return {2, Fall::Rare};  // IBM extensions
  const unsigned pair = lead <= 0x9F ? lead - 0x81u : lead - 0xC1u;
  const bool even = trail >= 0x9F;
  const unsigned row = pair * 2 + (even ? 2u : 1u);
  const unsigned cell = even ? trail - 0x9Eu : trail - (trail >= 0x80 ? 0x40u : 0x3Fu);
  return {2, JisFall(row, cell)};
}

Decoded DecodeEucJp(const Byte* p, const Byte* end) {
  const Byte lead = p[0];
  const Byte second = At(p, end, 1);
  if (lead == 0x8E)
    return In(second, 0xA1, 0xDF) ? Decoded{2, Fall::HalfKana} : Decoded{1, Fall::Invalid};
  if (lead == 0x8F) {
    return In(second, 0xA1, 0xFE) && In(At(p, end, 2), 0xA1, 0xFE) ? Decoded{3, Fall::Rare}
                                                                   : Decoded{1, Fall::Invalid};
  }
  if (!In(lead, 0xA1, 0xFE) || !In(second, 0xA1, 0xFE)) return {1, Fall::Invalid};
  return {2, JisFall(lead - 0xA0u, second - 0xA0u)};
}

Decoded DecodeKorean(const Byte* p, const Byte* end) {
  const Byte lead = p[0];
  const Byte trail = At(p, end, 1);
  if (lead == 0x80 || lead == 0xFF || !IsTrail(G::Korean, trail)) return {1, Fall::Invalid};
  if (lead >= 0xA1 && trail >= 0xA1) {
    if (lead <= 0xAC) return {2, Fall::Symbols};
    if (In(lead, 0xB0, 0xC8)) return {2, Fall::Everyday};
    if (In(lead, 0xCA, 0xFD)) return {2, Fall::Second};
    return {2, Fall::Odd};
  }
  // UHC: the 8,822 syllables KS X 1001 lacks, in lead bytes 0x81-0xC6.
  if (lead < 0xC6 || (lead == 0xC6 && trail <= 0x52)) return {2, Fall::Extension, true};
  return {1, Fall::Invalid};
}

Decoded DecodeUtf8(const Byte* p, const Byte* end) {
  const auto rest =
      std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
  const std::size_t length = Utf8SequenceLength(rest);
  if (length == 0) {
    std::size_t stray = 1;
    while (p + stray < end && p[stray] >= 0x80 && Utf8SequenceLength(rest.substr(stray)) == 0)
      ++stray;
    return {stray, Fall::Odd, false, stray};
  }
  if (length != 3) return {length, length == 2 ? Fall::Second : Fall::Rare};
  const unsigned code = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
  const bool cjk = (code >= 0x3000 && code <= 0x9FFF) || (code >= 0xAC00 && code <= 0xD7A3) ||
                   (code >= 0xFF00 && code <= 0xFFEF);
  return {3, cjk ? Fall::Everyday : Fall::Rare};
}

// A candidate.
struct Candidate {
  CharsetName name;
  CharsetName extendedName;  // when an extended form occurs
  Decoded (*decode)(const Byte*, const Byte*);
  const Blocks* blocks;
};

const Candidate kCandidates[] = {
    {{"GBK", G::Gbk}, {"GB18030", G::Gbk}, DecodeGbk, &kGbkBlocks},
    {{"Big5", G::Big5}, {"Big5", G::Big5}, DecodeBig5, &kBig5Blocks},
    {{"Shift_JIS", G::ShiftJis}, {"Shift_JIS", G::ShiftJis}, DecodeShiftJis, &kJisBlocks},
    {{"EUC-JP", G::EucJp}, {"EUC-JP", G::EucJp}, DecodeEucJp, &kJisBlocks},
    {{"EUC-KR", G::Korean}, {"CP949", G::Korean}, DecodeKorean, &kKoreanBlocks},
    {{"UTF-8", G::Single}, {"UTF-8", G::Single}, DecodeUtf8, &kUtf8Blocks},
};
constexpr std::size_t kCandidateCount = std::size(kCandidates);

// What one candidate made of the text.
struct Weighing {
  bool valid = true;
  bool extended = false;
  std::int64_t logLikelihood = 0;  // in thousandths
  std::size_t characters = 0;
  std::size_t everyday = 0;
};

// A block's weight in thousandths.
std::int64_t Weight(const Block& block) {
  if (block.share == 0) return 0;  // never weighed: the character is invalid
  return std::llround(1000 * std::log(block.share / block.size));
}

// What reading an ASCII byte as the trail byte of a character saves over
// reading it as ASCII: log(64), an ASCII byte being one of some 64 likely
// there.
constexpr std::int64_t kAsciiTrail = 4159;

// The first non-ASCII byte from "p" on, or "end"; eight bytes at a time
// through the ASCII that most of a record is.
const Byte* SkipAscii(const Byte* p, const Byte* end) {
  while (end - p >= 8) {
    std::uint64_t block;
    std::memcpy(&block, p, sizeof block);
    if ((block & 0x8080808080808080u) != 0) break;
    p += 8;
  }
  while (p < end && *p < 0x80) ++p;
  return p;
}

// Weighs the text as "candidate" would decode it, starting from "start"
// (its prior). Every character weighs less than nothing, so the weighing
// stops as soon as it falls below "floor", the candidate out of the running.
Weighing Weigh(const Candidate& candidate, const Byte* p, const Byte* end, std::int64_t start,
               std::int64_t floor) {
  Weighing w;
  w.logLikelihood = start;
  std::array<std::int64_t, kFallCount> weights{};
  for (std::size_t f = 0; f < kFallCount; ++f) {
    weights[f] = Weight(candidate.blocks->Of(static_cast<Fall>(f)));
  }
  while ((p = SkipAscii(p, end)) < end) {
    const Decoded d = candidate.decode(p, end);
    const Block& block = candidate.blocks->Of(d.fall);
    if (d.fall == Fall::Invalid || block.share == 0) {
      w.valid = false;
      return w;
    }
    w.logLikelihood +=
        static_cast<std::int64_t>(d.weight) * weights[static_cast<std::size_t>(d.fall)];
    // A trail byte in the ASCII range is text the other readings must
    // explain as ASCII beside a non-ASCII character.
    for (std::size_t i = 1; i < d.length; ++i) {
      if (p[i] < 0x80) w.logLikelihood += kAsciiTrail;
    }
    if (w.logLikelihood < floor) {
      w.valid = false;
      return w;
    }
    w.extended = w.extended || d.extended;
    ++w.characters;
    if (block.everyday) ++w.everyday;
    p += d.length;
  }
  return w;
}

// Whether the non-ASCII bytes read as Russian words in an 8-bit Cyrillic
// code page: each run of them a capital or small letter followed by small
// ones, two letters at least, with a vowel when longer than two; six letters
// at least, and a capitalised word (a name) among them.
bool LooksCyrillic(const Byte* p, const Byte* end, bool koi8) {
  // Letters: windows-1251 has capitals at 0xC0-0xDF and small letters at
  // 0xE0-0xFF; KOI8-R the other way round.
  const auto isCapital = [koi8](Byte b) {
    return koi8 ? b >= 0xE0 || b == 0xB3 : In(b, 0xC0, 0xDF) || b == 0xA8;
  };
  const auto isSmall = [koi8](Byte b) {
    return koi8 ? In(b, 0xC0, 0xDF) || b == 0xA3 : b >= 0xE0 || b == 0xB8;
  };
  const auto isVowel = [koi8](Byte b) {
    constexpr std::array<Byte, 10> k1251 = {0xE0, 0xE5, 0xB8, 0xE8, 0xEE,
                                            0xF3, 0xFB, 0xFD, 0xFE, 0xFF};
    constexpr std::array<Byte, 10> kKoi8 = {0xC1, 0xC5, 0xA3, 0xC9, 0xCF,
                                            0xD5, 0xD9, 0xDC, 0xC0, 0xD1};
    const auto& vowels = koi8 ? kKoi8 : k1251;
    if (koi8 && b >= 0xE0) b = static_cast<Byte>(b - 0x20);
    if (!koi8 && In(b, 0xC0, 0xDF)) b = static_cast<Byte>(b + 0x20);
    return std::find(vowels.begin(), vowels.end(), b) != vowels.end();
  };
  std::size_t letters = 0;
  bool named = false;
  while (p < end) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const Byte* run = p;
    bool vowel = false;
    if (isCapital(*p)) {
      named = true;
      vowel = isVowel(*p);
      ++p;
    }
    while (p < end && isSmall(*p)) vowel = isVowel(*p++) || vowel;
    const std::size_t length = static_cast<std::size_t>(p - run);
    if (length < 2 || (p < end && *p >= 0x80) || (length > 2 && !vowel)) return false;
    letters += length;
  }
  return letters >= 6 && named;
}

// Whether the non-ASCII bytes read as the accented letters of Western
// European names in windows-1252 ("Müller", "José", "Åke", "créé"): at most
// two in a row, each a letter (0xC0-0xFF but the multiplication and division
// signs, eth and thorn), a capital only at the start of a word and before a
// small letter, a small one inside a word.
bool LooksWestern(const Byte* begin, const Byte* end) {
  const auto isSmall = [](Byte b) {
    return In(b, 'a', 'z') || (b >= 0xDF && b != 0xF7 && b != 0xF0 && b != 0xFE);
  };
  const auto isLetter = [&](Byte b) {
    return In(b, 'A', 'Z') || isSmall(b) || (In(b, 0xC0, 0xDD) && b != 0xD7 && b != 0xD0);
  };
  std::size_t run = 0;
  for (const Byte* p = begin; p < end; ++p) {
    if (*p < 0x80) {
      run = 0;
      continue;
    }
    if (!isLetter(*p) || ++run > 2) return false;
    const bool afterLetter = p > begin && isLetter(p[-1]);
    const bool beforeSmall = p + 1 < end && isSmall(p[1]);
    if (isSmall(*p) ? !afterLetter && !beforeSmall : afterLetter || !beforeSmall) return false;
  }
  return true;
}

// The words for dan and kyu (段, 级 or 級, 단, 급) in each candidate, as the
// ranks BR and WR hold them after their number ("9段").
constexpr std::array<std::array<std::string_view, 5>, kCandidateCount> kRankWords = {{
    {"\xB6\xCE", "\xBC\xB6", "\xBC\x89"},
    {"\xAC\x71", "\xAF\xC5"},
    {"\x92\x69", "\x8B\x89"},
    {"\xC3\xCA", "\xB5\xE9"},
    {"\xB4\xDC", "\xB1\xDE", "\xD3\xAB", "\xD0\xE4"},
    {"\xE6\xAE\xB5", "\xE7\xBA\xA7", "\xE7\xB4\x9A", "\xEB\x8B\xA8", "\xEA\xB8\x89"},
}};

constexpr bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// True when "text" begins with "word" (in small letters), ASCII letter case
// ignored.
bool StartsWithWord(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != word[i]) return false;
  }
  return true;
}

// Place names and the candidates they favour (in the order of kCandidates).
struct Place {
  std::string_view word;  // the start of a word, in small letters
  std::array<bool, kCandidateCount> favours;
};

constexpr std::array<bool, kCandidateCount> kForChinese{true, true};
constexpr std::array<bool, kCandidateCount> kForTaiwanese{false, true};
constexpr std::array<bool, kCandidateCount> kForJapanese{false, false, true, true};
constexpr std::array<bool, kCandidateCount> kForKorean{false, false, false, false, true};

constexpr Place kPlaces[] = {
    {"china", kForChinese},  {"beijing", kForChinese},  {"shanghai", kForChinese},
    {"weiqi", kForChinese},  {"taiwan", kForTaiwanese}, {"taipei", kForTaiwanese},
    {"japan", kForJapanese}, {"nihon", kForJapanese},   {"tokyo", kForJapanese},
    {"osaka", kForJapanese}, {"kansai", kForJapanese},  {"korea", kForKorean},
    {"seoul", kForKorean},   {"baduk", kForKorean},     {"kiwon", kForKorean},
    {"hanguk", kForKorean},
};

// A place name's weight: it settles a near tie, never outweighs the
// characters. The rules (RU) are no hint: servers write RU[Japanese] over
// Chinese and Korean names alike.
constexpr std::int64_t kPlaceWeight = 3000;
// A rank word after a digit: the commonest non-ASCII text of a record.
constexpr std::int64_t kRankWeight = 5000;

// How much of the start of a record is searched for hints: the game
// information of its root stands there.
constexpr std::size_t kHeaderSize = 4096;

// The record's own hints, as a prior for each candidate: place names in
// ASCII at the start of a word (PC[Seoul], EV[... Korean ...]) and rank words
// after a digit, in its first kHeaderSize bytes.
std::array<std::int64_t, kCandidateCount> Priors(std::string_view bytes) {
  bytes = bytes.substr(0, kHeaderSize);
  std::array<std::int64_t, kCandidateCount> prior{};
  for (std::size_t at = 0; at < bytes.size();) {
    // One word of ASCII letters; the places have five letters at least.
    std::size_t length = 0;
    while (at + length < bytes.size() && IsAsciiLetter(bytes[at + length])) ++length;
    const std::string_view word = bytes.substr(at, length);
    at += length + 1;
    if (length < 5) continue;
    for (const Place& place : kPlaces) {
      if (!StartsWithWord(word, place.word)) continue;
      for (std::size_t i = 0; i < kCandidateCount; ++i) {
        if (place.favours[i]) prior[i] = kPlaceWeight;
      }
    }
  }
  std::array<std::size_t, kCandidateCount> ranked{};  // BR and WR: two count
  for (std::size_t at = 0; at + 1 < bytes.size(); ++at) {
    if (bytes[at] < '0' || bytes[at] > '9' || static_cast<Byte>(bytes[at + 1]) < 0x80) continue;
    const std::string_view after = bytes.substr(at + 1);
    for (std::size_t i = 0; i < kCandidateCount; ++i) {
      for (const std::string_view word : kRankWords[i]) {
        if (!word.empty() && after.starts_with(word)) ++ranked[i];
      }
    }
  }
  for (std::size_t i = 0; i < kCandidateCount; ++i) {
    prior[i] += kRankWeight * static_cast<std::int64_t>(std::min<std::size_t>(ranked[i], 2));
  }
  return prior;
}

// How far the best candidate must be ahead of the next: a likelihood e^2,
// some 7 times, as great.
constexpr std::int64_t kClearLead = 2000;

}  // namespace

std::optional<CharsetName> DetectCharset(std::string_view bytes) {
  const auto* const begin = reinterpret_cast<const Byte*>(bytes.data());
  const auto* const end = begin + bytes.size();
  if (std::find(begin, end, Byte{0}) != end) return std::nullopt;
  if (IsWellFormedUtf8(bytes)) return std::nullopt;  // ASCII, or UTF-8

  if (LooksCyrillic(begin, end, false)) return CharsetName{"windows-1251", G::Single};
  if (LooksCyrillic(begin, end, true)) return CharsetName{"KOI8-R", G::Single};

  const std::array<std::int64_t, kCandidateCount> prior = Priors(bytes);
  constexpr std::int64_t kNoScore = INT64_MIN / 4;
  std::size_t best = kCandidateCount;
  std::int64_t bestScore = kNoScore;
  std::int64_t secondScore = kNoScore;
  Weighing bestWeighing;
  // UTF-8 first, as the most frequent answer, so that the others can stop
  // early: one that falls more than kClearLead behind the best decides
  // nothing.
  constexpr std::size_t kOrder[] = {5, 0, 1, 2, 3, 4};
  static_assert(std::size(kOrder) == kCandidateCount);
  for (const std::size_t i : kOrder) {
    const Weighing w = Weigh(kCandidates[i], begin, end, prior[i], bestScore - kClearLead);
    if (!w.valid) continue;
    const std::int64_t score = w.logLikelihood;
    if (best == kCandidateCount || score > bestScore) {
      secondScore = best == kCandidateCount ? secondScore : bestScore;
      best = i;
      bestScore = score;
      bestWeighing = w;
    } else {
      secondScore = std::max(secondScore, score);
    }
  }
  // A clear lead, on characters a third of which at least are everyday ones
  // (the damaged characters of UTF-8 count one each).
  if (best != kCandidateCount && bestScore - secondScore >= kClearLead &&
      3 * bestWeighing.everyday >= bestWeighing.characters) {
    const Candidate& chosen = kCandidates[best];
    return bestWeighing.extended ? chosen.extendedName : chosen.name;
  }
  // Accented Latin letters read as nothing but rare double-byte characters.
  if (LooksWestern(begin, end)) return CharsetName{"windows-1252", G::Single};
  return std::nullopt;
}

}  // namespace varnoket
