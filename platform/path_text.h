#ifndef VARNOKET_PLATFORM_PATH_TEXT_H_
#define VARNOKET_PLATFORM_PATH_TEXT_H_

#include <filesystem>
#include <string>
#include <string_view>

namespace varnoket::platform {

// A path as UTF-16 text for people to read. On Windows a path is UTF-16
// already; elsewhere its bytes are read as UTF-8, and each malformed sequence
// shows as U+FFFD instead of failing the conversion.
std::u16string PathToText(const std::filesystem::path& path);

// The path that UTF-16 text typed or chosen in a window names. On Windows it
// is the text itself; elsewhere its UTF-8 form, with U+FFFD for an unpaired
// surrogate.
std::filesystem::path PathFromText(std::u16string_view text);

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_PATH_TEXT_H_
