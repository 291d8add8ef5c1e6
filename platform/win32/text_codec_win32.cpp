// SPDX-License-Identifier: MIT
// Windows side of the 8-bit conversions: the ANSI code page (CP_ACP).
#include "platform/text_codec.h"

#include <windows.h>

namespace varnoket::platform {

bool DecodeSystemCodePage(std::string_view bytes, std::u16string* out) {
  out->clear();
  if (bytes.size() > kMaxConvertibleLength) return false;
  if (bytes.empty()) return true;
  const int length = static_cast<int>(bytes.size());
  out->resize(bytes.size());
  const int produced = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length,
                                             reinterpret_cast<wchar_t*>(out->data()), length);
  if (produced <= 0) {
    out->clear();
    return false;
  }
  out->resize(static_cast<std::size_t>(produced));
  return true;
}

bool AppendSystemCodePage(std::u16string_view text, std::string* out) {
  if (text.size() > kMaxConvertibleLength / 2) return false;
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  // A character takes at most two bytes in any ANSI code page.
  const std::size_t start = out->size();
  out->resize(start + text.size() * 2);
  const int produced = ::WideCharToMultiByte(CP_ACP, 0, wide, length, out->data() + start,
                                             length * 2, nullptr, nullptr);
  if (produced <= 0) {
    out->resize(start);
    return false;
  }
  out->resize(start + static_cast<std::size_t>(produced));
  return true;
}

}  // namespace varnoket::platform
