// SPDX-License-Identifier: MIT
// What a Windows console shows of the command line's text: every script,
// whatever the console's code page.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/console.h"

namespace varnoket {
namespace {

// The console's characters on the cursor's row, from its first column.
std::wstring RowAtCursor(HANDLE console, DWORD length) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  EXPECT_TRUE(::GetConsoleScreenBufferInfo(console, &info));
  std::wstring row(length, L'\0');
  DWORD read = 0;
  const COORD start{0, info.dwCursorPosition.Y};
  EXPECT_TRUE(::ReadConsoleOutputCharacterW(console, row.data(), length, start, &read));
  row.resize(read);
  return row;
}

TEST(ConsoleTest, ConsoleShowsEveryScriptWhateverItsCodePage) {
  ::FreeConsole();
  ASSERT_TRUE(::AllocConsole());
  ::SetConsoleOutputCP(1252);  // a code page with neither Cyrillic nor CJK
  const HANDLE console =
      ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(console, INVALID_HANDLE_VALUE);
  DWORD mode = 0;
  if (!::GetConsoleMode(console, &mode)) {
    ::CloseHandle(console);
    ::FreeConsole();
    GTEST_SKIP() << "no console can be made here (Wine without a display)";
  }
  std::FILE* stream =
      ::_fdopen(::_open_osfhandle(reinterpret_cast<intptr_t>(console), _O_WRONLY), "w");
  ASSERT_NE(stream, nullptr);
  EXPECT_TRUE(platform::IsTerminal(stream));
  EXPECT_GT(platform::TerminalColumns(stream), 0);

  ASSERT_TRUE(platform::WriteText(stream,
                                  "\xD0\x9F\xD0\xB0\xD1\x80\xD1\x82\xD0\xB8\xD1\x8F "
                                  "\xE6\x9D\x8E\xE6\x98\x8C\xE9\x95\x90.sgf"));
  EXPECT_EQ(RowAtCursor(console, 14),
            L"\u041f\u0430\u0440\u0442\u0438\u044f \u674e\u660c\u9550.sgf");

  std::fclose(stream);
  ::FreeConsole();
}

}  // namespace
}  // namespace varnoket
