// POSIX side of the path text conversion: file names are bytes, by convention
// UTF-8.
#include "platform/path_text.h"

#include "platform/text_codec.h"

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

}  // namespace varnoket::platform
