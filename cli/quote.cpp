// SPDX-License-Identifier: MIT
#include "cli/quote.h"

#include <cstddef>
#include <filesystem>

#include "sgf/utf8.h"

namespace varnoket::cli {
namespace {

// Names are quoted for cmd and PowerShell where "\" separates them.
constexpr bool kWindowsPaths = std::filesystem::path::preferred_separator == L'\\';

// One character of a name: an ASCII byte, a whole UTF-8 sequence, or a byte
// that is not part of any valid sequence.
struct NameCharacter {
  std::size_t size = 1;
  bool printable = true;
};

NameCharacter NameCharacterAt(std::string_view name, std::size_t i) {
  const auto lead = static_cast<unsigned char>(name[i]);
  if (lead < 0x80) return NameCharacter{1, lead >= 0x20 && lead != 0x7F};
  const std::size_t size = Utf8SequenceLength(name.substr(i));
  if (size == 0) return NameCharacter{1, false};
  // U+0080 to U+009F are control characters too.
  const bool control = lead == 0xC2 && static_cast<unsigned char>(name[i + 1]) <= 0x9F;
  return NameCharacter{size, !control};
}

// The POSIX side. How one ASCII character affects the quoting: whether it makes a name need
// quotes, and whether it may stand inside double quotes unchanged.
struct AsciiClass {
  bool needsQuotes = false;
  bool fitsDoubleQuotes = false;
};

AsciiClass ClassOf(char c, std::size_t position, std::size_t nameSize) {
  switch (c) {
    case '{':
    case '}':
      if (nameSize != 1) return {};
      return {true, true};
    case '#':
    case '~':
      if (position != 0) return {};
      return {true, true};
    case ' ':
    case '\'':
      return {true, true};
    case '!':
    case '"':
    case '$':
    case '&':
    case '(':
    case ')':
    case '*':
    case ';':
    case '<':
    case '=':
    case '>':
    case '?':
    case '[':
    case '^':
    case '`':
    case '|':
      return {true, false};
    case '\\':
      return {true, false};
    case ':':
      // A colon would blur "name: reason".
      return {true, true};
    default:
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return {true, false};
      return {false, true};
  }
}

char NamedEscape(char c) {
  switch (c) {
    case '\a':
      return 'a';
    case '\b':
      return 'b';
    case '\f':
      return 'f';
    case '\n':
      return 'n';
    case '\r':
      return 'r';
    case '\t':
      return 't';
    case '\v':
      return 'v';
    default:
      return 0;
  }
}

struct Survey {
  bool needsQuotes = false;
  bool fitsDoubleQuotes = true;
  bool hasApostrophe = false;
};

Survey SurveyOf(std::string_view name) {
  Survey survey;
  survey.needsQuotes = name.empty();
  for (std::size_t i = 0; i < name.size();) {
    const NameCharacter unit = NameCharacterAt(name, i);
    if (unit.size == 1 && static_cast<unsigned char>(name[i]) < 0x80) {
      const AsciiClass c = ClassOf(name[i], i, name.size());
      survey.needsQuotes |= c.needsQuotes;
      survey.fitsDoubleQuotes &= c.fitsDoubleQuotes;
      survey.hasApostrophe |= name[i] == '\'';
    } else {
      survey.needsQuotes |= !unit.printable;
      survey.fitsDoubleQuotes &= unit.printable;
    }
    i += unit.size;
  }
  return survey;
}

// The Windows side: whether a name needs quotes for cmd or PowerShell.
bool WindowsNeedsQuotes(std::string_view name) {
  if (name.empty()) return true;
  for (std::size_t i = 0; i < name.size();) {
    const NameCharacter unit = NameCharacterAt(name, i);
    if (!unit.printable) return true;
    if (unit.size == 1) {
      const char c = name[i];
      // Characters that cmd or PowerShell treat specially anywhere, and the
      // ones that start a comment or a splat.
      if (std::string_view(" \"&|<>^%!();,='`${}[]").find(c) != std::string_view::npos) return true;
      if (i == 0 && (c == '#' || c == '@')) return true;
    }
    i += unit.size;
  }
  return false;
}

std::string WindowsQuoted(std::string_view name) {
  std::string out = "\"";
  for (std::size_t i = 0; i < name.size();) {
    const NameCharacter unit = NameCharacterAt(name, i);
    const char c = name[i];
    const auto lead = static_cast<unsigned char>(c);
    if (unit.printable) {
      if (c == '"' || c == '`' || c == '$') out += '`';
      out.append(name.substr(i, unit.size));
    } else if (NamedEscape(c) != 0) {
      out += '`';
      out += NamedEscape(c);
    } else if (unit.size == 1 && lead >= 0x80) {
      out += "\xEF\xBF\xBD";  // U+FFFD
    } else {
      // A C0 or C1 control character, by its code point.
      const unsigned code =
          unit.size == 1 ? lead : static_cast<unsigned char>(name[i + 1]);  // C2 80 to C2 9F
      constexpr char kHex[] = "0123456789ABCDEF";
      out += "`u{";
      if (code >= 0x10) out += kHex[code >> 4];
      out += kHex[code & 15];
      out += '}';
    }
    i += unit.size;
  }
  out += '"';
  return out;
}

std::string ShellQuoted(std::string_view name) {
  const Survey survey = SurveyOf(name);
  if (survey.hasApostrophe && survey.fitsDoubleQuotes) {
    std::string quoted = "\"";
    quoted += name;
    quoted += '"';
    return quoted;
  }
  std::string out = "'";
  bool escaping = false;  // inside $'...'
  const auto startEscape = [&] {
    if (!escaping) out += "'$'";
    escaping = true;
    out += '\\';
  };
  const auto endEscape = [&] {
    if (escaping) out += "''";
    escaping = false;
  };
  for (std::size_t i = 0; i < name.size();) {
    const NameCharacter unit = NameCharacterAt(name, i);
    const char c = name[i];
    if (unit.printable && c == '\'') {
      out += "'\\''";
      escaping = false;
    } else if (unit.printable) {
      endEscape();
      out.append(name.substr(i, unit.size));
    } else if (NamedEscape(c) != 0) {
      startEscape();
      out += NamedEscape(c);
    } else {
      for (std::size_t k = 0; k < unit.size; ++k) {
        const auto byte = static_cast<unsigned char>(name[i + k]);
        startEscape();
        out += static_cast<char>('0' + (byte >> 6));
        out += static_cast<char>('0' + ((byte >> 3) & 7));
        out += static_cast<char>('0' + (byte & 7));
      }
    }
    i += unit.size;
  }
  out += '\'';
  return out;
}

}  // namespace

std::string QuoteIfNeeded(std::string_view name) {
  if (kWindowsPaths) {
    return WindowsNeedsQuotes(name) ? WindowsQuoted(name) : std::string(name);
  } else {
    return SurveyOf(name).needsQuotes ? ShellQuoted(name) : std::string(name);
  }
}

std::string Quote(std::string_view name) {
  if (kWindowsPaths) {
    return WindowsQuoted(name);
  } else {
    return ShellQuoted(name);
  }
}

}  // namespace varnoket::cli
