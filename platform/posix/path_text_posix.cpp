// SPDX-License-Identifier: MIT
// POSIX side of the path text conversion: file names are bytes, by convention
// UTF-8.
#include "platform/path_text.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "sgf/utf8.h"

namespace varnoket::platform {

std::u16string PathToText(const std::filesystem::path& path) {
  std::u16string text;
  DecodeUtf8(path.native(), &text);
  return text;
}

std::filesystem::path PathFromText(std::u16string_view text) {
  std::string native;
  AppendUtf8(text, &native);
  return std::filesystem::path(std::move(native));
}

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path::string_type(text);
}

std::string PathToUtf8(const std::filesystem::path& path) { return path.native(); }

std::filesystem::path AsFolder(const std::filesystem::path& folder) { return folder; }

std::u16string HomeFolderText() {
  std::string home;
  if (const char* variable = std::getenv("HOME"); variable != nullptr) home = variable;
  if (home.empty()) {
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
      home = found->pw_dir;
    }
  }
  std::u16string text;
  DecodeUtf8(home, &text);
  return text;
}

}  // namespace varnoket::platform
