// SPDX-License-Identifier: MIT
#ifndef VARNOKET_CLI_QUOTE_H_
#define VARNOKET_CLI_QUOTE_H_

#include <string>
#include <string_view>

namespace varnoket::cli {

// A name (UTF-8, or any bytes) as the command line's messages show it, quoted
// as the system's shell reads it, so that one message stays one line and the
// name can be pasted back into a command.
//
// Outside Windows, as GNU tools quote names for a POSIX shell: inside '...',
// with each control character or byte that is not valid UTF-8 written as
// $'\n' or $'\377' (for example 'dam'$'\377''aged'$'\n''.sgf'); a name whose
// only odd character is an apostrophe goes in double quotes ("it's").
// QuoteIfNeeded leaves a plain name as it is, and quotes one with a blank, a
// shell character, a colon or any of the above.
//
// On Windows, in double quotes as cmd and PowerShell read them
// ("Z:\Игры\棋譜 ソース\x.sgf"): inside them a control character is written
// as PowerShell's escape (`n, `t, `u{1B}), "`", "$" and a double quote take a
// backtick, and a byte that is not valid UTF-8 (which no Windows name gives)
// becomes U+FFFD. QuoteIfNeeded quotes a name with a blank, a character that
// cmd or PowerShell treat specially, or any of the above; the path separator
// "\" and the drive colon are plain.
std::string QuoteIfNeeded(std::string_view name);

// Always quoted, as in "cannot access 'games'".
std::string Quote(std::string_view name);

}  // namespace varnoket::cli

#endif  // VARNOKET_CLI_QUOTE_H_
