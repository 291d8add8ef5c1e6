// SPDX-License-Identifier: MIT
// The system code page outside Windows is ISO-8859-1: byte n is code point n,
// so any 8-bit text passes through decoding and encoding unchanged.
#include "platform/text_codec.h"

namespace varnoket::platform {

bool DecodeSystemCodePage(std::string_view bytes, std::u16string* out) {
  out->clear();
  if (bytes.size() > kMaxConvertibleLength) return false;
  out->resize(bytes.size());
  char16_t* write = out->data();
  for (const char byte : bytes) {
    *write++ = static_cast<char16_t>(static_cast<unsigned char>(byte));
  }
  return true;
}

bool AppendSystemCodePage(std::u16string_view text, std::string* out) {
  if (text.size() > kMaxConvertibleLength) return false;
  const std::size_t start = out->size();
  out->resize(start + text.size());
  char* write = out->data() + start;
  for (const char16_t unit : text) {
    *write++ = unit <= 0xFF ? static_cast<char>(unit) : '?';
  }
  return true;
}

}  // namespace varnoket::platform
