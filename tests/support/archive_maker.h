// SPDX-License-Identifier: MIT
#ifndef VARNOKET_TESTS_SUPPORT_ARCHIVE_MAKER_H_
#define VARNOKET_TESTS_SUPPORT_ARCHIVE_MAKER_H_

// Builds the archives the tests read, with libarchive directly, including
// those the program itself never writes: links, devices, hostile names,
// encrypted entries, names in a code page.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace varnoket::test {

enum class MadeFormat {
  Zip,
  Tar,
  TarGzip,
  TarBzip2,
  TarXz,
  TarZstd,
  SevenZip,
  // One file compressed, no archive around it.
  Gzip,
  Bzip2,
  Xz,
  Zstd,
};

struct MadeEntry {
  enum class Kind { File, Folder, SymbolicLink, HardLink, Fifo };
  MadeEntry(std::string entryName, std::string entryBytes = "", Kind entryKind = Kind::File,
            std::string entryLinkTarget = "", std::int64_t entryModified = 1600000000)
      : name(std::move(entryName)),
        bytes(std::move(entryBytes)),
        kind(entryKind),
        linkTarget(std::move(entryLinkTarget)),
        modified(entryModified) {}

  std::string name;  // UTF-8
  std::string bytes;
  Kind kind = Kind::File;
  std::string linkTarget;
  std::int64_t modified = 1600000000;
  std::uint32_t permissions = 0644;
};

struct MadeOptions {
  // Zip names stored in this code page, without the UTF-8 flag ("CP932").
  std::string zipNameCharset;
  // Zip entries encrypted with this passphrase (traditional PKWARE).
  std::string passphrase;
};

// The bytes of an archive of "format" holding "entries" in order.
std::string MakeArchive(MadeFormat format, const std::vector<MadeEntry>& entries,
                        const MadeOptions& options = {});

// "size" letters that do not compress, so that a cut in a compressed archive
// falls inside the entry that holds them.
std::string Incompressible(std::size_t size);

}  // namespace varnoket::test

#endif  // VARNOKET_TESTS_SUPPORT_ARCHIVE_MAKER_H_
