// SPDX-License-Identifier: MIT
#ifndef VARNOKET_SGF_CHARSET_H_
#define VARNOKET_SGF_CHARSET_H_

// Charsets by name, and how each groups its bytes into characters. In the
// multi-byte charsets the second byte of a character may be "\" or "]", which
// is then text and never SGF punctuation; the byte rules below are the one
// place that says which bytes those are.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace varnoket {

// How the bytes of a text group into characters.
enum class ByteGrouping : std::uint8_t {
  Single,  // every code unit is a character: single-byte code pages, UTF-8
           // (whose multi-byte forms hold no ASCII bytes) and UTF-16 text
  ShiftJis,
  Gbk,  // GBK, GB2312, GB18030 (whose four-byte forms hold no ASCII punctuation)
  Big5,
  Korean,  // EUC-KR and its extension UHC (CP949)
  EucJp,
  Iso2022Jp,  // 7-bit and stateful; see CharacterLength
};

inline constexpr std::size_t kByteGroupingCount = 7;

// A name a CA property or the --charset option may give, with its grouping.
struct CharsetName {
  std::string_view name;
  ByteGrouping grouping;
};

// Every charset name the program knows, multi-byte ones first, in the order
// they are listed to the user. UTF-8 is known apart (NamesUtf8).
std::span<const CharsetName> KnownCharsets();

// The code unit as a number, whatever the width and signedness of its type.
template <typename Char>
constexpr char32_t Unit(Char c) {
  return static_cast<std::make_unsigned_t<Char>>(c);
}

namespace charset_detail {

template <typename Char>
constexpr bool IsSpace(Char c) {
  return Unit(c) == 32 || (Unit(c) >= 9 && Unit(c) <= 13);
}

// "text" without surrounding ASCII white space.
template <typename Char>
constexpr std::basic_string_view<Char> Trimmed(std::basic_string_view<Char> text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// True when "text", without surrounding ASCII white space, equals "name"
// with ASCII letter case ignored.
template <typename Char>
constexpr bool SameName(std::basic_string_view<Char> text, std::string_view name) {
  text = Trimmed(text);
  if (text.size() != name.size()) return false;
  const auto lower = [](char32_t c) { return c >= U'A' && c <= U'Z' ? c + 32 : c; };
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (lower(Unit(text[i])) != lower(Unit(name[i]))) return false;
  }
  return true;
}

}  // namespace charset_detail

// True when a CA value names UTF-8: "UTF-8", ignoring ASCII letter case and
// surrounding ASCII white space.
template <typename Char>
constexpr bool NamesUtf8(std::basic_string_view<Char> value) {
  return charset_detail::SameName(value, "UTF-8");
}
inline bool NamesUtf8(std::u16string_view value) { return NamesUtf8<char16_t>(value); }

// The known charset a CA value or option names, matched as NamesUtf8 matches;
// null for any other text.
template <typename Char>
const CharsetName* FindCharset(std::basic_string_view<Char> value) {
  for (const CharsetName& known : KnownCharsets()) {
    if (charset_detail::SameName(value, known.name)) return &known;
  }
  return nullptr;
}

// The charset that files naming none are read in (the command line's
// --charset). "name" is the label the cleaned file gets as its CA.
struct AssumedCharset {
  std::string name;
  ByteGrouping grouping = ByteGrouping::Single;
  // Instead of "name": the charset DetectCharset finds in each file, for the
  // files that name none or claim UTF-8, and are not well-formed UTF-8.
  bool detect = false;
};

// The name that asks for detection ("auto", letter case ignored).
inline constexpr std::string_view kDetectCharsetName = "auto";

// The AssumedCharset for a known name or UTF-8, the label being the name
// without its surrounding white space; detection for kDetectCharsetName;
// nothing for an unknown name.
std::optional<AssumedCharset> AssumeCharset(std::string_view name);

// How a record's text is held and turned back into bytes.
struct TextEncoding {
  enum class Form : std::uint8_t {
    SystemCodePage,  // one code unit per byte (byte n is U+00nn), in the
                     // system's code page, unnamed; written back byte for byte
    Utf8,            // decoded from UTF-8
    Bytes,           // one code unit per byte (byte n is U+00nn), in a charset
                     // the file declares; written back byte for byte
  };
  Form form = Form::SystemCodePage;
  ByteGrouping grouping = ByteGrouping::Single;  // of Bytes; Single otherwise

  friend bool operator==(const TextEncoding&, const TextEncoding&) = default;
};

// The CA value that a copy of a record's text declares so that it is read
// again as the record was: "rootCharset", the CA of the part copied, where it
// leads to the same reading; otherwise the reading's "label" (see
// GameRecord::charsetLabel). For a system code page reading, "rootCharset"
// unless it names a multi-byte charset, which would then be read in that.
// Empty for none.
std::u16string CharsetToDeclare(std::u16string_view rootCharset, const TextEncoding& encoding,
                                std::string_view label);

// The byte rules of the multi-byte charsets: which bytes lead a character and
// how many trail bytes they take, and which bytes may trail. A lead byte that
// is not followed by its valid trail bytes is a character of its own.
struct ByteRules {
  std::array<std::uint8_t, 256> trailCount{};  // 0: not a lead byte
  std::array<bool, 256> trail{};
};

// The rules by grouping; Single and Iso2022Jp have no lead bytes here (the
// escape sequences of ISO-2022-JP are handled apart).
extern const std::array<ByteRules, kByteGroupingCount> kByteRules;

inline constexpr char32_t kEscape = 0x1B;

// True when a character may start with the unit "c" and be longer than it:
// a lead byte, or the escape that starts an ISO-2022-JP escape sequence.
constexpr bool MayLead(ByteGrouping grouping, char32_t c) {
  if (grouping == ByteGrouping::Iso2022Jp) return c == kEscape;
  return c < 256 && kByteRules[static_cast<std::size_t>(grouping)].trailCount[c] != 0;
}

// One character of a text: its number of code units, and whether it is an
// ISO-2022-JP two-byte run that the text ended inside (see CharacterLength).
struct Character {
  std::size_t length;
  bool runCutShort;
};

// The character that starts at "p" (p < end). Code units above 0xFF (UTF-16
// text) are characters of their own.
//
// ISO-2022-JP: ESC ( B and ESC ( J are one character each. ESC $ @, ESC $ B
// and ESC $ ( D start a two-byte run that is one character up to and
// including the ESC ( B or ESC ( J that ends it, looked for between pairs, or
// else up to the end of the text: inside it every byte is text. Any other ESC
// is a character of its own.
template <typename Char>
Character MeasureCharacter(ByteGrouping grouping, const Char* p, const Char* end) {
  const char32_t lead = Unit(*p);
  if (!MayLead(grouping, lead)) return {1, false};
  // The unit "i" places on, or 0 (never a trail byte) past the end.
  const auto at = [&](std::size_t i) {
    return end - p > static_cast<std::ptrdiff_t>(i) ? Unit(p[i]) : char32_t{0};
  };
  if (grouping != ByteGrouping::Iso2022Jp) {
    const ByteRules& rules = kByteRules[static_cast<std::size_t>(grouping)];
    const std::size_t trails = rules.trailCount[lead];
    for (std::size_t i = 1; i <= trails; ++i) {
      const char32_t c = at(i);
      if (c >= 256 || !rules.trail[c]) return {1, false};
    }
    return {trails + 1, false};
  }
  std::size_t run = 0;
  if (at(1) == '(' && (at(2) == 'B' || at(2) == 'J')) return {3, false};
  if (at(1) == '$' && (at(2) == '@' || at(2) == 'B')) run = 3;
  if (at(1) == '$' && at(2) == '(' && at(3) == 'D') run = 4;
  if (run == 0) return {1, false};
  const std::size_t size = static_cast<std::size_t>(end - p);
  while (run < size) {
    if (at(run) == kEscape && at(run + 1) == '(' && (at(run + 2) == 'B' || at(run + 2) == 'J')) {
      return {run + 3, false};
    }
    run += 2;
  }
  return {size, true};
}

template <typename Char>
std::size_t CharacterLength(ByteGrouping grouping, const Char* p, const Char* end) {
  if (grouping == ByteGrouping::Single) return 1;
  return MeasureCharacter(grouping, p, end).length;
}

// The multi-byte charset of a Windows system code page (932, 936, 949, 950),
// by the name that labels a file assumed to be in it; null for any other.
const CharsetName* CodePageCharset(unsigned codePage);

// True when "bytes" are valid text in the multi-byte charset "grouping": every
// byte above 0x7F is a lead byte with its trail bytes, or a character the
// charset writes in one byte (the half-width katakana of Shift_JIS, the euro
// sign of GBK). Always true for Single, never for text above 0x7F in
// ISO-2022-JP.
bool IsValidIn(ByteGrouping grouping, std::string_view bytes);

}  // namespace varnoket

#endif  // VARNOKET_SGF_CHARSET_H_
