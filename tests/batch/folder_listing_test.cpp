// SPDX-License-Identifier: MIT
// The folder listing on the real disk: what it yields, and that a folder it
// cannot read is a failure with a reason while an empty one is not.
#include "platform/folder_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace varnoket::platform {
namespace {

namespace fs = std::filesystem;

TEST(FolderListingTest, YieldsMatchingEntriesOrTheReasonTheFolderCannotBeRead) {
  test::TempFolder temp;
  fs::create_directories(temp / "games" / "sub");
  fs::create_directories(temp / "empty");
  test::WriteBytes(temp / "games" / "a.sgf", "");
  test::WriteBytes(temp / "games" / "b.txt", "");
  struct Case {
    const char* what;
    fs::path folder;
    const char* pattern;
    bool ok;
    std::vector<std::string> entries;  // sorted; "/" marks a folder
  };
  const std::vector<Case> cases = {
      {"games", temp / "games", "*.SGF", true, {"a.sgf"}},
      {"everything", temp / "games", "*", true, {"a.sgf", "b.txt", "sub/"}},
      {"no match", temp / "games", "*.gib", true, {}},
      {"empty folder", temp / "empty", "*.sgf", true, {}},
      {"missing folder", temp / "missing", "*.sgf", false, {}},
      {"a file", temp / "games" / "a.sgf", "*", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> entries;
    const IoStatus status =
        DefaultFolderLister().ListFolder(c.folder, c.pattern, [&](const FolderEntry& entry) {
          EXPECT_EQ(fs::path(entry.path), c.folder / entry.name);
          entries.push_back(fs::path(entry.name).string() + (entry.isFolder ? "/" : ""));
        });
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(status.ok(), c.ok) << status.message();
    EXPECT_EQ(status.message().empty(), c.ok);
    EXPECT_EQ(entries, c.entries);
  }
}

}  // namespace
}  // namespace varnoket::platform
