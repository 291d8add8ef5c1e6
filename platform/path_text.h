// SPDX-License-Identifier: MIT
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

// A path from UTF-8 text (a command-line argument), and a path as UTF-8 text
// for messages. On Windows the text is converted to and from UTF-16
// (malformed input and unpaired surrogates become U+FFFD); elsewhere a path is
// bytes and passes unchanged, whatever they are, so that a name that is not
// UTF-8 still names its file.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string PathToUtf8(const std::filesystem::path& path);

// The folder that the typed path "folder" names, in a form to which a name is
// appended with a separator. On Windows a bare drive ("C:") becomes that
// drive's root folder ("C:\"), never the drive's current folder; every other
// path stays as it is.
std::filesystem::path AsFolder(const std::filesystem::path& folder);

// The user's home folder as text, which a leading "~" of a typed folder stands
// for: $HOME, else the account's entry. Empty when neither names one, and on
// Windows, where "~" means nothing.
std::u16string HomeFolderText();

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_PATH_TEXT_H_
