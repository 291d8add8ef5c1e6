// SPDX-License-Identifier: MIT
#include "desktop/folder_field.h"

#include "platform/path_text.h"

namespace varnoket::desktop {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

}  // namespace

std::u16string FolderFromField(std::u16string_view text, std::u16string_view home) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') {
    text = text.substr(1, text.size() - 2);
  }
  if (home.empty() || text.empty() || text.front() != u'~') return std::u16string(text);
  if (text.size() > 1 && text[1] != u'/') return std::u16string(text);  // "~user" or "~name"
  std::u16string folder(home);
  std::u16string_view rest = text.substr(1);  // empty or "/..."
  if (!rest.empty() && folder.back() == u'/') rest.remove_prefix(1);
  folder += rest;
  return folder;
}

std::u16string FolderFromField(std::u16string_view text) {
  return FolderFromField(text, platform::HomeFolderText());
}

}  // namespace varnoket::desktop
