#ifndef VARNOKET_SGF_CHARSET_H_
#define VARNOKET_SGF_CHARSET_H_

#include <cstddef>
#include <string_view>

namespace varnoket {

// True when a CA value names UTF-8 as charset names are compared: "UTF-8",
// ignoring ASCII letter case and surrounding ASCII white space.
inline bool NamesUtf8(std::u16string_view value) {
  const auto isSpace = [](char16_t c) { return c == 32 || (c >= 9 && c <= 13); };
  while (!value.empty() && isSpace(value.front())) value.remove_prefix(1);
  while (!value.empty() && isSpace(value.back())) value.remove_suffix(1);
  constexpr std::u16string_view kUtf8 = u"utf-8";
  if (value.size() != kUtf8.size()) return false;
  for (std::size_t i = 0; i < kUtf8.size(); ++i) {
    char16_t c = value[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c != kUtf8[i]) return false;
  }
  return true;
}

}  // namespace varnoket

#endif  // VARNOKET_SGF_CHARSET_H_
