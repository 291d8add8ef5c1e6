// SPDX-License-Identifier: MIT
#ifndef VARNOKET_DESKTOP_FOLDER_FIELD_H_
#define VARNOKET_DESKTOP_FOLDER_FIELD_H_

#include <string>
#include <string_view>

namespace varnoket::desktop {

// The folder that the text of a folder field names, as a user means it: the
// spaces, tabs and line breaks around the text are dropped, then one pair of
// double quotes around the rest (Explorer's "Copy as path" gives
// "C:\Games" with them). What stands inside the quotes is kept as it is. A
// leading "~/", or "~" alone, stands for "home" when "home" is not empty.
std::u16string FolderFromField(std::u16string_view text, std::u16string_view home);

// The same with the user's home folder; on Windows, where "~" means nothing,
// the text is only trimmed and unquoted.
std::u16string FolderFromField(std::u16string_view text);

}  // namespace varnoket::desktop

#endif  // VARNOKET_DESKTOP_FOLDER_FIELD_H_
