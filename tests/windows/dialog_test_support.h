// SPDX-License-Identifier: MIT
#ifndef VARNOKET_TESTS_WINDOWS_DIALOG_TEST_SUPPORT_H_
#define VARNOKET_TESTS_WINDOWS_DIALOG_TEST_SUPPORT_H_

#include <windows.h>

#include <string>
#include <vector>

#include "app/dialog_host.h"
#include "app/folder_chooser.h"
#include "desktop/window_placement.h"

namespace varnoket::test {

// A host with no person at the desktop: message boxes are recorded and
// answered with OK at once, and the folder chooser gives a scripted answer.
class FakeDialogHost : public app::DialogHost {
 public:
  struct Message {
    std::wstring text;
    std::wstring caption;
    UINT type = 0;
  };

  int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption,
                  UINT type) override {
    messages.push_back(Message{text, caption, type});
    owners.push_back(owner);
    return IDOK;
  }

  int ChooseFolder(HWND, std::wstring* path) override {
    ++chooserCalls;
    if (chooserResult == app::FolderChooser::kChosen) *path = chosenFolder;
    return chooserResult;
  }

  std::vector<Message> messages;
  std::vector<HWND> owners;
  int chooserCalls = 0;
  int chooserResult = app::FolderChooser::kCancelled;
  std::wstring chosenFolder;
};

// Where a "width" x "height" window centred on "target" inside "workArea"
// belongs, in Win32 terms.
inline POINT Centred(const RECT& target, const RECT& workArea, int width, int height) {
  const auto edges = [](const RECT& rect) {
    return desktop::ScreenRect{rect.left, rect.top, rect.right, rect.bottom};
  };
  const desktop::ScreenPoint position =
      desktop::CentredPosition(edges(target), edges(workArea), width, height);
  return POINT{position.x, position.y};
}

// UTF-16 text as UTF-8, for readable comparisons and failure messages.
inline std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
  return bytes;
}

inline std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

// The whole text of a window, however long.
inline std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

}  // namespace varnoket::test

#endif  // VARNOKET_TESTS_WINDOWS_DIALOG_TEST_SUPPORT_H_
