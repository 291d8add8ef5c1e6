// SPDX-License-Identifier: MIT
// The archive seam on the real disk: what each format gives back, how
// content is told from a plain file, where damage surfaces, and what a
// written archive holds.
#include "platform/archive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/archive_maker.h"
#include "tests/support/test_support.h"

namespace varnoket {
namespace {

namespace fs = std::filesystem;
using platform::ArchiveEntry;
using platform::ArchiveEntryType;
using platform::ArchiveKind;
using test::MadeEntry;
using test::MadeFormat;

// An entry as read back: its name, type, bytes, time and flags in one line.
std::string Show(const ArchiveEntry& entry, const std::string& bytes) {
  const char* types[] = {"file", "folder", "symlink", "hardlink", "other"};
  std::string line = entry.path + " " + types[static_cast<int>(entry.type)];
  if (entry.type == ArchiveEntryType::File) line += " [" + bytes + "]";
  if (entry.hasModified) line += " @" + std::to_string(entry.modifiedSeconds);
  if (entry.encrypted) line += " encrypted";
  return line;
}

// Every entry of the archive at "path", one line each, and, when reading
// stops on damage, a last line "error: ...".
std::vector<std::string> ReadAll(const fs::path& path, const std::string& zipCharset = "") {
  std::vector<std::string> lines;
  std::unique_ptr<platform::ArchiveReader> reader;
  bool isArchive = false;
  platform::IoStatus status =
      platform::DefaultArchives().Open(path, {zipCharset}, &reader, &isArchive);
  if (!status.ok()) return {"error: " + status.message()};
  if (!isArchive) return {"not an archive"};
  for (;;) {
    ArchiveEntry entry;
    bool atEnd = false;
    status = reader->Next(&entry, &atEnd);
    if (!status.ok()) {
      lines.push_back("error");
      return lines;
    }
    if (atEnd) return lines;
    std::string bytes;
    if (entry.type == ArchiveEntryType::File && !entry.encrypted) {
      char block[7];  // small, so that data comes in several blocks
      std::size_t got = 0;
      do {
        status = reader->Read(block, sizeof block, &got);
        if (!status.ok()) {
          lines.push_back(entry.path + " error");
          return lines;
        }
        bytes.append(block, got);
      } while (got > 0);
    }
    lines.push_back(Show(entry, bytes));
  }
}

const std::vector<MadeEntry> kTree = {
    {"games/a.sgf", "(;B[aa])"},
    {"games/棋譜/本因坊.sgf", "(;W[bb])", MadeEntry::Kind::File, "", 1500000000},
    {"games/Партия.sgf", "(;B[cc])"},
    {"games/링크.sgf", "", MadeEntry::Kind::SymbolicLink, "a.sgf"},
};

const std::vector<std::string> kTreeRead = {
    "games/a.sgf file [(;B[aa])] @1600000000",
    "games/棋譜/本因坊.sgf file [(;W[bb])] @1500000000",
    "games/Партия.sgf file [(;B[cc])] @1600000000",
    "games/링크.sgf symlink @1600000000",
};

TEST(ArchiveRead, EveryFormatGivesBackItsEntriesInOrder) {
  struct Case {
    MadeFormat format;
    const char* name;  // never a hint: the content decides
  } cases[] = {
      {MadeFormat::Zip, "a.zip"},      {MadeFormat::Tar, "a.dat"},
      {MadeFormat::TarGzip, "a.tgz"},  {MadeFormat::TarBzip2, "a.tar.bz2"},
      {MadeFormat::TarXz, "a.tar.xz"}, {MadeFormat::TarZstd, "a.bin"},
      {MadeFormat::SevenZip, "a.7z"},
  };
  test::TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteBytes(folder / c.name, test::MakeArchive(c.format, kTree));
    EXPECT_EQ(ReadAll(folder / c.name), kTreeRead);
  }
}

TEST(ArchiveRead, ContentDamageAndProtectionAreToldAtTheirEntry) {
  const std::string big = test::Incompressible(200000);  // a cut falls inside b.sgf
  const std::string tar =
      test::MakeArchive(MadeFormat::Tar, {{"a.sgf", "(;B[aa])"}, {"b.sgf", big}, {"c.sgf", "(;)"}});
  const std::string zip =
      test::MakeArchive(MadeFormat::TarGzip, {{"a.sgf", "(;B[aa])"}, {"b.sgf", big}});
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> expected;
  } cases[] = {
      {"game.sgf", "(;B[aa])", {"not an archive"}},
      {"empty.zip", "", {"not an archive"}},
      {"fake.zip", "PK but not really a zip", {"not an archive"}},
      {"all.sgf.xz",
       test::MakeArchive(MadeFormat::Xz, {{"x", "(;B[aa])"}}),
       {"all.sgf file [(;B[aa])]"}},
      {"all.sgf.GZ",
       test::MakeArchive(MadeFormat::Gzip, {{"x", "(;W[bb])"}}),
       {"all.sgf file [(;W[bb])]"}},
      {"all.sgf.bz2",
       test::MakeArchive(MadeFormat::Bzip2, {{"x", "(;B[cc])"}}),
       {"all.sgf file [(;B[cc])]"}},
      {"all.sgf.zst",
       test::MakeArchive(MadeFormat::Zstd, {{"x", "(;W[dd])"}}),
       {"all.sgf file [(;W[dd])]"}},
      // Damage and protection surface at their entry.
      {"cut.tar",
       tar.substr(0, 1024 + 512 + 50000),
       {"a.sgf file [(;B[aa])] @1600000000", "b.sgf error"}},
      {"cut.tar.gz",
       zip.substr(0, zip.size() * 3 / 4),
       {"a.sgf file [(;B[aa])] @1600000000", "b.sgf error"}},
      {"secret.zip",
       test::MakeArchive(MadeFormat::Zip, {{"a.sgf", "(;B[aa])"}}, {"", "password"}),
       {"a.sgf file [] @1600000000 encrypted"}},
  };
  test::TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteBytes(folder / c.name, c.bytes);
    EXPECT_EQ(ReadAll(folder / c.name), c.expected);
  }
}

TEST(ArchiveRead, ZipNamesWithoutTheFlagComeFromTheGivenCodePage) {
  test::TempFolder folder;
  test::WriteBytes(folder / "jp.zip",
                   test::MakeArchive(MadeFormat::Zip, {{"本因坊.sgf", "(;)"}}, {"CP932", ""}));
  test::WriteBytes(folder / "dos.zip",
                   test::MakeArchive(MadeFormat::Zip, {{"Ünë.sgf", "(;)"}}, {"CP437", ""}));
  EXPECT_EQ(ReadAll(folder / "jp.zip", "CP932"),
            std::vector<std::string>{"本因坊.sgf file [(;)] @1600000000"});
  EXPECT_EQ(ReadAll(folder / "dos.zip"),
            std::vector<std::string>{"Ünë.sgf file [(;)] @1600000000"});
}

TEST(ArchiveWrite, WrittenArchivesReadBackAndRepeatByteForByte) {
  const ArchiveKind kinds[] = {ArchiveKind::Zip,      ArchiveKind::Tar,   ArchiveKind::TarGzip,
                               ArchiveKind::TarBzip2, ArchiveKind::TarXz, ArchiveKind::TarZstd};
  test::TempFolder folder;
  for (ArchiveKind kind : kinds) {
    SCOPED_TRACE(static_cast<int>(kind));
    std::string first;
    for (int round = 0; round < 2; ++round) {
      std::unique_ptr<platform::ArchiveWriter> writer;
      ASSERT_TRUE(platform::DefaultArchives().Create(folder / "out", kind, &writer).ok());
      ASSERT_TRUE(writer->Add("a.sgf", "(;B[aa])", 1600000000, 0).ok());
      ASSERT_TRUE(writer->Add("棋譜/本因坊.sgf", "(;W[bb])", 1500000000, 0).ok());
      ASSERT_TRUE(writer->Commit().ok());
      if (round == 0) first = test::ReadBytes(folder / "out");
    }
    EXPECT_EQ(test::ReadBytes(folder / "out"), first);
    EXPECT_EQ(ReadAll(folder / "out"),
              (std::vector<std::string>{"a.sgf file [(;B[aa])] @1600000000",
                                        "棋譜/本因坊.sgf file [(;W[bb])] @1500000000"}));
    EXPECT_EQ(test::FilesUnder(folder.path()).size(), 1u) << "a temporary file is left";
  }
}

TEST(ArchiveWrite, AnArchiveNotCommittedLeavesTheOldOneAndNoTrace) {
  test::TempFolder folder;
  test::WriteBytes(folder / "out.zip", "old");
  {
    std::unique_ptr<platform::ArchiveWriter> writer;
    ASSERT_TRUE(
        platform::DefaultArchives().Create(folder / "out.zip", ArchiveKind::Zip, &writer).ok());
    ASSERT_TRUE(writer->Add("a.sgf", "(;B[aa])", 0, 0).ok());
  }
  EXPECT_EQ(test::ReadBytes(folder / "out.zip"), "old");
  EXPECT_EQ(test::FilesUnder(folder.path()).size(), 1u);
}

TEST(ArchiveName, KindsAndArchiveNames) {
  struct Case {
    const char* name;
    std::optional<ArchiveKind> kind;
    bool archive;
  } cases[] = {
      {"out.ZIP", ArchiveKind::Zip, true},
      {"out.tar", ArchiveKind::Tar, true},
      {"out.tar.gz", ArchiveKind::TarGzip, true},
      {"out.TGZ", ArchiveKind::TarGzip, true},
      {"out.tar.bz2", ArchiveKind::TarBzip2, true},
      {"out.tar.xz", ArchiveKind::TarXz, true},
      {"out.tar.zst", ArchiveKind::TarZstd, true},
      {"fox.7z", std::nullopt, true},
      {"all.sgf.xz", std::nullopt, true},
      {"game.sgf", std::nullopt, false},
      {"zip", std::nullopt, false},
      {".zip.sgf", std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::ArchiveKindOfName(c.name), c.kind);
    EXPECT_EQ(platform::HasArchiveName(c.name), c.archive);
  }
}

}  // namespace
}  // namespace varnoket
