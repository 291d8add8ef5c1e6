// SPDX-License-Identifier: MIT
#include "sgf/utf8.h"

#include <cstdint>
#include <cstring>

namespace varnoket {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Number of continuation bytes a lead byte announces, or -1 for a byte that
// cannot start a sequence.
int ContinuationCount(unsigned char lead) {
  if (lead < 0x80) return 0;
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return -1;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Narrows the range of the byte after "lead" so that no overlong form, no
// surrogate and nothing above U+10FFFF is accepted.
void SecondByteRange(unsigned char lead, unsigned char* low, unsigned char* high) {
  if (lead == 0xE0) *low = 0xA0;
  if (lead == 0xED) *high = 0x9F;
  if (lead == 0xF0) *low = 0x90;
  if (lead == 0xF4) *high = 0x8F;
}

}  // namespace

bool DecodeUtf8(std::string_view bytes, std::u16string* out) {
  out->clear();
  out->resize(bytes.size());
  char16_t* write = out->data();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = p + bytes.size();
  bool wellFormed = true;
  while (p < end) {
    // Fast path for runs of ASCII, the bulk of every SGF file.
    if (*p < 0x80) {
      *write++ = static_cast<char16_t>(*p++);
      continue;
    }
    const int count = ContinuationCount(*p);
    if (count < 0) {
      *write++ = kReplacement;
      ++p;
      wellFormed = false;
      continue;
    }
    std::uint32_t code = static_cast<std::uint32_t>(*p) & (0x3Fu >> count);
    // The second byte's range depends on the lead byte (no overlong forms, no
    // surrogates, nothing above U+10FFFF); a sequence that breaks off yields
    // one replacement for its valid prefix (the "maximal subpart").
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    SecondByteRange(*p, &low, &high);
    const unsigned char* q = p + 1;
    int taken = 0;
    while (taken < count && q < end) {
      const unsigned char byte = *q;
      const bool inRange = taken == 0 ? (byte >= low && byte <= high) : IsContinuation(byte);
      if (!inRange) break;
      code = (code << 6) | (byte & 0x3Fu);
      ++q;
      ++taken;
    }
    if (taken < count) {
      *write++ = kReplacement;
      p = q;
      wellFormed = false;
      continue;
    }
    p = q;
    if (code >= 0x10000) {
      code -= 0x10000;
      *write++ = static_cast<char16_t>(0xD800 + (code >> 10));
      *write++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      *write++ = static_cast<char16_t>(code);
    }
  }
  out->resize(static_cast<std::size_t>(write - out->data()));
  return wellFormed;
}

bool IsWellFormedUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = p + bytes.size();
  while (p < end) {
    // Eight ASCII bytes at a time, the bulk of every SGF file.
    while (end - p >= 8) {
      std::uint64_t block;
      std::memcpy(&block, p, sizeof block);
      if ((block & 0x8080808080808080u) != 0) break;
      p += 8;
    }
    if (p == end) break;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(
        std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p)));
    if (length == 0) return false;
    p += length;
  }
  return true;
}

std::size_t Utf8SequenceLength(std::string_view bytes) {
  if (bytes.empty()) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  // The same ranges as DecodeUtf8 accepts.
  const int count = ContinuationCount(*p);
  if (count < 0 || bytes.size() <= static_cast<std::size_t>(count)) return 0;
  if (count == 0) return 1;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  SecondByteRange(*p, &low, &high);
  if (p[1] < low || p[1] > high) return 0;
  for (int i = 2; i <= count; ++i) {
    if (!IsContinuation(p[i])) return 0;
  }
  return static_cast<std::size_t>(count) + 1;
}

void AppendUtf8(std::u16string_view text, std::string* out) {
  const std::size_t start = out->size();
  out->resize(start + text.size() * 3);
  char* write = out->data() + start;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t code = text[i];
    if (code < 0x80) {
      *write++ = static_cast<char>(code);
      continue;
    }
    if (code >= 0xD800 && code <= 0xDFFF) {
      if (code <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        code =
            0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
        ++i;
      } else {
        code = kReplacement;
      }
    }
    if (code < 0x800) {
      *write++ = static_cast<char>(0xC0 | (code >> 6));
      *write++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      *write++ = static_cast<char>(0xE0 | (code >> 12));
      *write++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *write++ = static_cast<char>(0x80 | (code & 0x3F));
    } else {
      *write++ = static_cast<char>(0xF0 | (code >> 18));
      *write++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      *write++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      *write++ = static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  out->resize(static_cast<std::size_t>(write - out->data()));
}

}  // namespace varnoket
