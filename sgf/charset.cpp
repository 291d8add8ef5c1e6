// SPDX-License-Identifier: MIT
#include "sgf/charset.h"

namespace varnoket {
namespace {

using G = ByteGrouping;

struct LeadRange {
  std::uint8_t first = 1, last = 0, trails = 0;
};
struct TrailRange {
  std::uint8_t first = 1, last = 0;
};
struct MultiByteRow {
  ByteGrouping grouping;
  std::array<LeadRange, 3> leads;
  std::array<TrailRange, 3> trails;
};

// These are facts of the encodings.
constexpr MultiByteRow kMultiByteRows[] = {
    {ByteGrouping::ShiftJis, {{{0x81, 0x9F, 1}, {0xE0, 0xFC, 1}}}, {{{0x40, 0x7E}, {0x80, 0xFC}}}},
    {ByteGrouping::Gbk, {{{0x81, 0xFE, 1}}}, {{{0x40, 0x7E}, {0x80, 0xFE}}}},
    {ByteGrouping::Big5, {{{0x81, 0xFE, 1}}}, {{{0x40, 0x7E}, {0xA1, 0xFE}}}},
    {ByteGrouping::Korean, {{{0x81, 0xFE, 1}}}, {{{0x41, 0x5A}, {0x61, 0x7A}, {0x81, 0xFE}}}},
    {ByteGrouping::EucJp, {{{0x8E, 0x8E, 1}, {0x8F, 0x8F, 2}, {0xA1, 0xFE, 1}}}, {{{0xA1, 0xFE}}}},
};

}  // namespace

constexpr std::array<ByteRules, kByteGroupingCount> kByteRules = [] {
  std::array<ByteRules, kByteGroupingCount> rules{};
  for (const MultiByteRow& row : kMultiByteRows) {
    ByteRules& r = rules[static_cast<std::size_t>(row.grouping)];
    for (const auto& lead : row.leads) {
      for (unsigned b = lead.first; b <= lead.last; ++b) r.trailCount[b] = lead.trails;
    }
    for (const auto& trail : row.trails) {
      for (unsigned b = trail.first; b <= trail.last; ++b) r.trail[b] = true;
    }
  }
  return rules;
}();

namespace {

constexpr CharsetName kKnownCharsets[] = {
    {"Shift_JIS", G::ShiftJis},
    {"Shift-JIS", G::ShiftJis},
    {"SJIS", G::ShiftJis},
    {"x-sjis", G::ShiftJis},
    {"MS_Kanji", G::ShiftJis},
    {"csShiftJIS", G::ShiftJis},
    {"Windows-31J", G::ShiftJis},
    {"CP932", G::ShiftJis},
    {"MS932", G::ShiftJis},
    {"GBK", G::Gbk},
    {"GB2312", G::Gbk},
    {"GB18030", G::Gbk},
    {"CP936", G::Gbk},
    {"MS936", G::Gbk},
    {"windows-936", G::Gbk},
    {"EUC-CN", G::Gbk},
    {"x-gbk", G::Gbk},
    {"csGB2312", G::Gbk},
    {"GB_2312-80", G::Gbk},
    {"Big5", G::Big5},
    {"Big-5", G::Big5},
    {"csBig5", G::Big5},
    {"cn-big5", G::Big5},
    {"x-x-big5", G::Big5},
    {"CP950", G::Big5},
    {"MS950", G::Big5},
    {"windows-950", G::Big5},
    {"Big5-HKSCS", G::Big5},
    {"EUC-KR", G::Korean},
    {"CP949", G::Korean},
    {"UHC", G::Korean},
    {"KS_C_5601-1987", G::Korean},
    {"windows-949", G::Korean},
    {"MS949", G::Korean},
    {"csEUCKR", G::Korean},
    {"EUC-JP", G::EucJp},
    {"eucJP", G::EucJp},
    {"x-euc-jp", G::EucJp},
    {"ISO-2022-JP", G::Iso2022Jp},
    {"csISO2022JP", G::Iso2022Jp},
    // Single-byte charsets: every byte is a character, whatever it stands for.
    {"ISO-8859-1", G::Single},
    {"ISO-8859-2", G::Single},
    {"ISO-8859-3", G::Single},
    {"ISO-8859-4", G::Single},
    {"ISO-8859-5", G::Single},
    {"ISO-8859-6", G::Single},
    {"ISO-8859-7", G::Single},
    {"ISO-8859-8", G::Single},
    {"ISO-8859-9", G::Single},
    {"ISO-8859-10", G::Single},
    {"ISO-8859-11", G::Single},
    {"ISO-8859-13", G::Single},
    {"ISO-8859-14", G::Single},
    {"ISO-8859-15", G::Single},
    {"ISO-8859-16", G::Single},
    {"windows-1250", G::Single},
    {"windows-1251", G::Single},
    {"windows-1252", G::Single},
    {"windows-1253", G::Single},
    {"windows-1254", G::Single},
    {"windows-1255", G::Single},
    {"windows-1256", G::Single},
    {"windows-1257", G::Single},
    {"windows-1258", G::Single},
    {"KOI8-R", G::Single},
    {"KOI8-U", G::Single},
    {"CP866", G::Single},
    {"US-ASCII", G::Single},
};

}  // namespace

std::span<const CharsetName> KnownCharsets() { return kKnownCharsets; }

std::optional<AssumedCharset> AssumeCharset(std::string_view name) {
  const std::string label(charset_detail::Trimmed(name));
  if (charset_detail::SameName(name, kDetectCharsetName)) {
    return AssumedCharset{label, ByteGrouping::Single, true};
  }
  // UTF-8 with damaged bytes: its bytes kept, each multi-byte sequence whole.
  if (NamesUtf8(name)) return AssumedCharset{label, ByteGrouping::Single};
  const CharsetName* known = FindCharset(name);
  if (known == nullptr) return std::nullopt;
  return AssumedCharset{label, known->grouping};
}

const CharsetName* CodePageCharset(unsigned codePage) {
  constexpr struct {
    unsigned codePage;
    std::string_view name;
  } kCodePages[] = {{932, "Shift_JIS"}, {936, "GBK"}, {949, "CP949"}, {950, "Big5"}};
  for (const auto& entry : kCodePages) {
    if (entry.codePage == codePage) return FindCharset(entry.name);
  }
  return nullptr;
}

bool IsValidIn(ByteGrouping grouping, std::string_view bytes) {
  if (grouping == G::Single) return true;
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  while (p != end) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x80) {
      ++p;
      continue;
    }
    const std::size_t length = MeasureCharacter(grouping, p, end).length;
    if (length == 1) {
      const bool alone =
          (grouping == G::ShiftJis && c >= 0xA1 && c <= 0xDF) || (grouping == G::Gbk && c == 0x80);
      if (!alone) return false;
    }
    p += length;
  }
  return true;
}

std::u16string CharsetToDeclare(std::u16string_view rootCharset, const TextEncoding& encoding,
                                std::string_view label) {
  using Form = TextEncoding::Form;
  const CharsetName* named = FindCharset(rootCharset);
  bool same = false;
  switch (encoding.form) {
    case Form::SystemCodePage:
      same = named == nullptr || named->grouping == ByteGrouping::Single;
      break;
    case Form::Utf8:
      same = NamesUtf8(rootCharset);
      break;
    case Form::Bytes:
      same = named != nullptr && named->grouping == encoding.grouping;
      break;
  }
  if (same) return std::u16string(rootCharset);
  return std::u16string(label.begin(), label.end());
}

}  // namespace varnoket
