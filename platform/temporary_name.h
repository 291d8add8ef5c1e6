// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_TEMPORARY_NAME_H_
#define VARNOKET_PLATFORM_TEMPORARY_NAME_H_

// The names of the temporary files that atomic writes use, shared by the
// POSIX and the Windows side, and the few calls each side provides to clear
// away those of runs that were killed.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace varnoket::platform {

// ".varnoket-<process>-<n>.tmp", in the platform's characters.
template <typename Char>
std::basic_string<Char> TemporaryName(std::uint64_t process, std::uint64_t n) {
  const std::string text =
      ".varnoket-" + std::to_string(process) + "-" + std::to_string(n) + ".tmp";
  return std::basic_string<Char>(text.begin(), text.end());
}

// True when "name" ends with a temporary name (alone, or after the name of
// the file it was to replace, as earlier versions named them); sets
// "*process" to the process that made it.
template <typename Char>
bool IsTemporaryName(std::basic_string_view<Char> name, std::uint64_t* process) {
  constexpr std::string_view kStart = ".varnoket-";
  constexpr std::string_view kEnd = ".tmp";
  if (name.size() < kStart.size() + kEnd.size() + 3) return false;
  for (std::size_t i = 0; i < kEnd.size(); ++i) {
    if (name[name.size() - kEnd.size() + i] != static_cast<Char>(kEnd[i])) return false;
  }
  // Backwards over "<n>", "-" and "<process>".
  std::size_t end = name.size() - kEnd.size();
  const auto digitsBefore = [&](std::size_t at) {
    std::size_t start = at;
    while (start > 0 && name[start - 1] >= Char('0') && name[start - 1] <= Char('9')) --start;
    return start;
  };
  const std::size_t countStart = digitsBefore(end);
  if (countStart == end || countStart == 0 || name[countStart - 1] != Char('-')) return false;
  end = countStart - 1;
  const std::size_t processStart = digitsBefore(end);
  if (processStart == end || end - processStart > 19 || processStart < kStart.size()) return false;
  for (std::size_t i = 0; i < kStart.size(); ++i) {
    if (name[processStart - kStart.size() + i] != static_cast<Char>(kStart[i])) return false;
  }
  std::uint64_t value = 0;
  for (std::size_t i = processStart; i < end; ++i) {
    value = value * 10 + static_cast<std::uint64_t>(name[i] - Char('0'));
  }
  *process = value;
  return true;
}

// Each platform side provides these three.

// The number of this process, as temporary names carry it.
std::uint64_t ThisProcess();
// False only when no process "process" runs on this machine.
bool ProcessMayRun(std::uint64_t process);
// Removes "path" if it is a regular file (not a link, not a folder).
void RemoveIfRegularFile(const std::filesystem::path& path);

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_TEMPORARY_NAME_H_
