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

}  // namespace varnoket::platform
