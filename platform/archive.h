// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_ARCHIVE_H_
#define VARNOKET_PLATFORM_ARCHIVE_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace varnoket::platform {

// What an archive entry is.
enum class ArchiveEntryType { File, Folder, SymbolicLink, HardLink, Other };

// One entry of an archive, as its header describes it.
struct ArchiveEntry {
  // The name as the archive stores it, in UTF-8: names flagged as UTF-8 as
  // they are, others converted from the archive's name charset. A single
  // compressed file has no name of its own; it gets the archive's file name
  // without the compression suffix ("all.sgf.xz" gives "all.sgf").
  std::string path;
  ArchiveEntryType type = ArchiveEntryType::File;
  // The size the header declares, when it declares one.
  std::optional<std::uint64_t> size;
  // The modification time, in seconds and nanoseconds since 1970, when known.
  std::int64_t modifiedSeconds = 0;
  std::int32_t modifiedNanoseconds = 0;
  bool hasModified = false;
  // The POSIX permission bits the archive stores for it; 0 when it stores
  // none (a zip made on DOS or Windows).
  std::uint32_t permissions = 0;
  // Its data is encrypted and cannot be read.
  bool encrypted = false;
};

// The kinds of archive that can be written.
enum class ArchiveKind { Zip, Tar, TarGzip, TarBzip2, TarXz, TarZstd };

// The kind a destination's file name asks for, letter case ignored: ".zip",
// ".tar", ".tar.gz" or ".tgz", ".tar.bz2", ".tar.xz", ".tar.zst". None for
// any other name.
std::optional<ArchiveKind> ArchiveKindOfName(const std::filesystem::path& name);

// True when a file name ends like an archive or a compressed file that
// Archives::Open might read, letter case ignored: the names above, ".7z",
// ".tbz2", ".txz", ".tzst", and ".gz", ".bz2", ".xz", ".zst" alone.
bool HasArchiveName(const std::filesystem::path& name);

// The modification time of "identity" in seconds and nanoseconds since 1970,
// as archive entries carry it.
void ModifiedSinceEpoch(const FileIdentity& identity, std::int64_t* seconds,
                        std::int32_t* nanoseconds);

// An archive open for reading, entry by entry, each entry's data block by
// block: only the block asked for is in memory. A failure leaves the reader
// unusable; what was read before stays valid.
class ArchiveReader {
 public:
  virtual ~ArchiveReader() = default;

  // Moves to the next entry and describes it in "*entry"; sets "*atEnd" when
  // there is none. The data of the entry before is skipped. Fails on damage,
  // with libarchive's description.
  virtual IoStatus Next(ArchiveEntry* entry, bool* atEnd) = 0;

  // Reads up to "capacity" bytes of the current entry's data into "buffer"
  // and sets "*got" to how many; 0 means its end.
  virtual IoStatus Read(char* buffer, std::size_t capacity, std::size_t* got) = 0;

  // The bytes of the archive file consumed so far.
  virtual std::uint64_t BytesConsumed() = 0;
};

// An archive being written into a staged file (FileSystem::Stage) in its
// target's folder. Nothing is visible under the target's name until Commit;
// destroying it before then discards the staged file and leaves the target as
// it was.
class ArchiveWriter {
 public:
  virtual ~ArchiveWriter() = default;

  // Adds a regular file named "path" (UTF-8, "/" between folders) holding
  // "bytes", with permission bits 0644, no owner, and the given modification
  // time. The same calls give the same archive bytes.
  virtual IoStatus Add(std::string_view path, std::string_view bytes, std::int64_t modifiedSeconds,
                       std::int32_t modifiedNanoseconds) = 0;

  // Completes the archive, makes it durable and puts it under its name,
  // replacing any file there. The writer is spent either way.
  virtual IoStatus Commit() = 0;
};

// What an archive's names are read with.
struct ArchiveReadOptions {
  // The charset of zip names that are not flagged as UTF-8, as libarchive
  // names it ("CP437", "CP932"). Empty means CP437.
  std::string zipNameCharset;
};

// Opens archives for reading and creates them, with libarchive. The default
// object uses the real disk; tests derive from it to make an open, a read or
// a write fail.
class Archives {
 public:
  virtual ~Archives() = default;

  // Opens the file at "path" as an archive, recognised by its content: zip,
  // tar, 7z, rar, cab, lha, cpio or ISO 9660, under any of gzip, bzip2, xz
  // or zstd compression, or a single file compressed by one of those.
  // "*isArchive" is false, and the status Ok, when the content is neither
  // (for example a plain SGF file); "*reader" is then left empty. A file that
  // cannot be opened or read fails.
  virtual IoStatus Open(const std::filesystem::path& path, const ArchiveReadOptions& options,
                        std::unique_ptr<ArchiveReader>* reader, bool* isArchive);

  // Starts a new archive of "kind" that is to take the name "name" (one
  // component) in "folder", staged through "files" as "options" say: a new
  // archive takes options.permissions, a replacement keeps the bits of the
  // file it replaces, and a link there is treated as FileSystem::Stage treats
  // it. Commit makes it durable and puts it under its name.
  virtual IoStatus Create(FileSystem& files, const FolderHandle& folder,
                          const std::filesystem::path& name, const StageOptions& options,
                          ArchiveKind kind, std::unique_ptr<ArchiveWriter>* writer);

  // Starts a new archive of "kind" for "path" on the real disk, its folder
  // opened as the user named it, with the default stage options.
  IoStatus Create(const std::filesystem::path& path, ArchiveKind kind,
                  std::unique_ptr<ArchiveWriter>* writer);
};

// The process-wide object that uses the real disk.
Archives& DefaultArchives();

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_ARCHIVE_H_
