// SPDX-License-Identifier: MIT
#ifndef VARNOKET_CLI_QUOTE_H_
#define VARNOKET_CLI_QUOTE_H_

#include <string>
#include <string_view>

namespace varnoket::cli {

// A name (UTF-8, or any bytes) as the command line's messages show it, quoted
// the way GNU tools quote names for a shell: inside '...', with each control
// character or byte that is not valid UTF-8 written as $'\n' or $'\377' (for
// example 'dam'$'\377''aged'$'\n''.sgf'), so that one message stays one
// line and the name can be pasted back into a shell.
//
// QuoteIfNeeded leaves a plain name as it is, and quotes one with a blank, a
// shell character, a colon or any of the above; a name whose only odd
// character is an apostrophe goes in double quotes ("it's"). On Windows the
// path separator "\" and the drive colon count as plain.
std::string QuoteIfNeeded(std::string_view name);

// Always quoted, as in "cannot access 'games'".
std::string Quote(std::string_view name);

}  // namespace varnoket::cli

#endif  // VARNOKET_CLI_QUOTE_H_
