// SPDX-License-Identifier: MIT
// How a folder field's text is read: trimmed, unquoted once, "~" expanded.
#include "desktop/folder_field.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace varnoket::desktop {
namespace {

TEST(FolderFromFieldTest, TrimsUnquotesOnceAndExpandsTheHomeFolder) {
  struct Case {
    std::u16string text;
    std::u16string home;
    std::u16string folder;
  };
  const std::vector<Case> cases = {
      {u"C:\\Games", u"", u"C:\\Games"},
      {u"  C:\\Games \t", u"", u"C:\\Games"},
      // Explorer's "Copy as path", pasted with a stray space.
      {u" \"C:\\Партии\\2024\" ", u"", u"C:\\Партии\\2024"},
      {u"\"C:\\My Games \"", u"", u"C:\\My Games "},
      {u"\"\"C:\\Games\"\"", u"", u"\"C:\\Games\""},
      {u"\"C:\\Games", u"", u"\"C:\\Games"},
      {u"\"", u"", u"\""},
      {u"\"\"", u"", u""},
      {u"   ", u"", u""},
      {u"\r\n/srv/games\r\n", u"", u"/srv/games"},
      {u"~/Партии", u"/home/go", u"/home/go/Партии"},
      {u" \"~/games\" ", u"/home/go", u"/home/go/games"},
      {u"~", u"/home/go", u"/home/go"},
      {u"~/games", u"/", u"/games"},
      {u"~go/games", u"/home/go", u"~go/games"},
      {u"/srv/~/games", u"/home/go", u"/srv/~/games"},
      {u"~/games", u"", u"~/games"},
      {u"~\\games", u"/home/go", u"~\\games"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(test::Utf8(c.text) + " with home " + test::Utf8(c.home));
    EXPECT_EQ(test::Utf8(FolderFromField(c.text, c.home)), test::Utf8(c.folder));
  }
}

}  // namespace
}  // namespace varnoket::desktop
