// SPDX-License-Identifier: MIT
// Windows side of the path text conversion: paths are UTF-16, and wchar_t is
// a UTF-16 code unit.
#include "platform/path_text.h"

#include "sgf/utf8.h"

namespace varnoket::platform {

std::u16string PathToText(const std::filesystem::path& path) {
  const std::wstring& native = path.native();
  return std::u16string(native.begin(), native.end());
}

std::filesystem::path PathFromText(std::u16string_view text) {
  return std::filesystem::path(std::wstring(text.begin(), text.end()));
}

std::filesystem::path PathFromUtf8(std::string_view text) {
  std::u16string wide;
  DecodeUtf8(text, &wide);
  return PathFromText(wide);
}

std::string PathToUtf8(const std::filesystem::path& path) {
  std::string text;
  AppendUtf8(PathToText(path), &text);
  return text;
}

std::filesystem::path AsFolder(const std::filesystem::path& folder) {
  const std::wstring& text = folder.native();
  const bool bareDrive =
      text.size() == 2 && text[1] == L':' &&
      ((text[0] >= L'A' && text[0] <= L'Z') || (text[0] >= L'a' && text[0] <= L'z'));
  return bareDrive ? std::filesystem::path(text + L'\\') : folder;
}

std::u16string HomeFolderText() { return std::u16string(); }

}  // namespace varnoket::platform
