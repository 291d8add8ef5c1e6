// SPDX-License-Identifier: MIT
// Archives through libarchive, on both systems. Names cross libarchive in
// UTF-8: on POSIX the calls run under a UTF-8 character type for the calling
// thread (libarchive converts names to and from the current locale), on
// Windows libarchive converts through wide strings by itself.
#include "platform/archive.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/path_text.h"

#ifndef _WIN32
#include <locale.h>
#endif

namespace varnoket::platform {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

#ifdef _WIN32
// Nothing to do: libarchive converts names through wide strings here.
class Utf8Scope {
 public:
  Utf8Scope() {}
  ~Utf8Scope() {}
  Utf8Scope(const Utf8Scope&) = delete;
  Utf8Scope& operator=(const Utf8Scope&) = delete;
};
#else
// Makes the calling thread's character type UTF-8 for the scope's life.
class Utf8Scope {
 public:
  Utf8Scope() {
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8 != static_cast<locale_t>(0)) previous_ = ::uselocale(utf8);
  }
  ~Utf8Scope() {
    if (previous_ != static_cast<locale_t>(0)) ::uselocale(previous_);
  }
  Utf8Scope(const Utf8Scope&) = delete;
  Utf8Scope& operator=(const Utf8Scope&) = delete;

 private:
  locale_t previous_ = static_cast<locale_t>(0);
};
#endif

IoStatus ArchiveError(archive* handle, const char* fallback) {
  const char* text = archive_error_string(handle);
  return IoStatus::Error(text != nullptr && *text != '\0' ? text : fallback);
}

std::string FileNameText(const std::filesystem::path& path) {
  const auto u8 = path.filename().u8string();
  return std::string(reinterpret_cast<const char*>(u8.data()), u8.size());
}

std::string LowerName(const std::filesystem::path& name) {
  std::string text = FileNameText(name);
  // Suffixes are ASCII: only its letters are folded, whatever the locale.
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() > end.size() && text.substr(text.size() - end.size()) == end;
}

// The name a single compressed file stands for: its file name without the
// compression suffix.
std::string InnerName(const std::filesystem::path& path) {
  const std::string name = FileNameText(path);
  const std::string lower = LowerName(path);
  for (std::string_view suffix : {".gz", ".bz2", ".xz", ".zst", ".lzma", ".z"}) {
    if (EndsWith(lower, suffix)) return name.substr(0, name.size() - suffix.size());
  }
  return name;
}

ArchiveEntryType TypeOf(archive_entry* entry) {
  if (archive_entry_hardlink(entry) != nullptr) return ArchiveEntryType::HardLink;
  switch (archive_entry_filetype(entry)) {
    case AE_IFREG:
      return ArchiveEntryType::File;
    case AE_IFDIR:
      return ArchiveEntryType::Folder;
    case AE_IFLNK:
      return ArchiveEntryType::SymbolicLink;
    default:
      return ArchiveEntryType::Other;
  }
}

class LibarchiveReader final : public ArchiveReader {
 public:
  LibarchiveReader(archive* handle, std::string singleName)
      : handle_(handle), singleName_(std::move(singleName)) {}
  ~LibarchiveReader() override {
    Utf8Scope scope;
    archive_read_free(handle_);
  }
  LibarchiveReader(const LibarchiveReader&) = delete;
  LibarchiveReader& operator=(const LibarchiveReader&) = delete;

  // Reads the first header; sets "*isArchive" to whether the content is an
  // archive or a compressed file at all.
  IoStatus Start(bool* isArchive) {
    Utf8Scope scope;
    const int result = archive_read_next_header(handle_, &current_);
    *isArchive = true;
    if (result == ARCHIVE_EOF) {
      atEnd_ = true;
      // An empty file, or an archive of no entries.
      *isArchive = archive_format(handle_) != ARCHIVE_FORMAT_EMPTY ||
                   archive_filter_code(handle_, 0) != ARCHIVE_FILTER_NONE;
      return IoStatus::Ok();
    }
    if (result < ARCHIVE_WARN) return ArchiveError(handle_, "cannot read the archive");
    if (archive_format(handle_) == ARCHIVE_FORMAT_RAW &&
        archive_filter_code(handle_, 0) == ARCHIVE_FILTER_NONE) {
      *isArchive = false;
      return IoStatus::Ok();
    }
    pending_ = true;
    return IoStatus::Ok();
  }

  IoStatus Next(ArchiveEntry* entry, bool* atEnd) override {
    Utf8Scope scope;
    if (atEnd_) {
      *atEnd = true;
      return IoStatus::Ok();
    }
    if (!pending_) {
      const int result = archive_read_next_header(handle_, &current_);
      if (result == ARCHIVE_EOF) {
        atEnd_ = true;
        *atEnd = true;
        return IoStatus::Ok();
      }
      if (result < ARCHIVE_WARN) return ArchiveError(handle_, "cannot read the archive");
    }
    pending_ = false;
    *atEnd = false;
    *entry = ArchiveEntry();
    if (archive_format(handle_) == ARCHIVE_FORMAT_RAW) {
      entry->path = singleName_;
    } else {
#ifdef _WIN32
      // Names are held as wide text here; libarchive 3.6 reaches UTF-8 only
      // through the ANSI code page.
      const wchar_t* name = archive_entry_pathname_w(current_);
      entry->path = name != nullptr ? PathToUtf8(std::filesystem::path(name)) : "";
#else
      const char* name = archive_entry_pathname_utf8(current_);
      if (name == nullptr) name = archive_entry_pathname(current_);
      entry->path = name != nullptr ? name : "";
#endif
    }
    entry->type = TypeOf(current_);
    if (archive_entry_size_is_set(current_) && archive_format(handle_) != ARCHIVE_FORMAT_RAW) {
      entry->size =
          static_cast<std::uint64_t>(std::max<la_int64_t>(archive_entry_size(current_), 0));
    }
    if (archive_entry_mtime_is_set(current_)) {
      entry->hasModified = true;
      entry->modifiedSeconds = static_cast<std::int64_t>(archive_entry_mtime(current_));
      entry->modifiedNanoseconds = static_cast<std::int32_t>(archive_entry_mtime_nsec(current_));
    }
    // A single compressed file stores no bits: libarchive makes some up.
    if (archive_format(handle_) != ARCHIVE_FORMAT_RAW) {
      entry->permissions = static_cast<std::uint32_t>(archive_entry_perm(current_) & 07777);
    }
    entry->encrypted = archive_entry_is_data_encrypted(current_) != 0;
    return IoStatus::Ok();
  }

  IoStatus Read(char* buffer, std::size_t capacity, std::size_t* got) override {
    Utf8Scope scope;
    *got = 0;
    const la_ssize_t result = archive_read_data(handle_, buffer, capacity);
    if (result < 0) return ArchiveError(handle_, "cannot read the archive entry");
    *got = static_cast<std::size_t>(result);
    return IoStatus::Ok();
  }

  std::uint64_t BytesConsumed() override {
    return static_cast<std::uint64_t>(std::max<la_int64_t>(archive_filter_bytes(handle_, -1), 0));
  }

 private:
  archive* handle_;
  archive_entry* current_ = nullptr;
  std::string singleName_;
  bool pending_ = false;
  bool atEnd_ = false;
};

class LibarchiveWriter final : public ArchiveWriter {
 public:
  explicit LibarchiveWriter(FileSystem& files) : files_(files) {}
  ~LibarchiveWriter() override {
    Utf8Scope scope;
    if (handle_ != nullptr) archive_write_free(handle_);
    if (entry_ != nullptr) archive_entry_free(entry_);
    // An uncommitted staged file is discarded as it goes.
  }
  LibarchiveWriter(const LibarchiveWriter&) = delete;
  LibarchiveWriter& operator=(const LibarchiveWriter&) = delete;

  // Stages the archive as the file "name" in "folder", made as "options" say.
  IoStatus Start(const FolderHandle& folder, const std::filesystem::path& name,
                 const StageOptions& options, ArchiveKind kind) {
    Utf8Scope scope;
    const IoStatus staged = files_.Stage(folder, name, std::string_view(), options, &staged_);
    if (!staged.ok()) return staged;
    staging_ = true;
    handle_ = archive_write_new();
    entry_ = archive_entry_new();
    if (handle_ == nullptr || entry_ == nullptr) return IoStatus::Error("not enough memory");
    int result = ARCHIVE_OK;
    if (kind == ArchiveKind::Zip) {
      result = archive_write_set_format_zip(handle_);
      if (result == ARCHIVE_OK) result = archive_write_set_options(handle_, "zip:hdrcharset=UTF-8");
    } else {
      result = archive_write_set_format_pax_restricted(handle_);
#ifdef _WIN32
      // The names are passed as UTF-8 bytes, to be written as they are.
      if (result == ARCHIVE_OK)
        result = archive_write_set_options(handle_, "pax:hdrcharset=BINARY");
#endif
    }
    zip_ = kind == ArchiveKind::Zip;
    if (result == ARCHIVE_OK) {
      switch (kind) {
        case ArchiveKind::TarGzip:
          result = archive_write_add_filter_gzip(handle_);
          if (result == ARCHIVE_OK) result = archive_write_set_options(handle_, "gzip:!timestamp");
          break;
        case ArchiveKind::TarBzip2:
          result = archive_write_add_filter_bzip2(handle_);
          break;
        case ArchiveKind::TarXz:
          result = archive_write_add_filter_xz(handle_);
          break;
        case ArchiveKind::TarZstd:
          result = archive_write_add_filter_zstd(handle_);
          break;
        case ArchiveKind::Zip:
        case ArchiveKind::Tar:
          break;
      }
    }
    // No padding of the last block beyond what the format needs.
    if (result == ARCHIVE_OK) result = archive_write_set_bytes_in_last_block(handle_, 1);
    if (result == ARCHIVE_OK) {
      result =
          archive_write_open(handle_, this, nullptr, &LibarchiveWriter::WriteCallback, nullptr);
    }
    if (result != ARCHIVE_OK) return ArchiveError(handle_, "cannot create the archive");
    return IoStatus::Ok();
  }

  IoStatus Add(std::string_view path, std::string_view bytes, std::int64_t modifiedSeconds,
               std::int32_t modifiedNanoseconds) override {
    Utf8Scope scope;
    if (failed_) return IoStatus::Error("cannot write the archive");
    archive_entry_clear(entry_);
    const std::string name(path);
#ifdef _WIN32
    // libarchive 3.6 turns UTF-8 into the ANSI code page first, which loses
    // names outside it: zip takes the name as wide text, tar as the UTF-8
    // bytes themselves (see Start).
    if (zip_) {
      archive_entry_copy_pathname_w(entry_, PathFromUtf8(name).c_str());
    } else {
      archive_entry_copy_pathname(entry_, name.c_str());
    }
#else
    archive_entry_update_pathname_utf8(entry_, name.c_str());
#endif
    archive_entry_set_filetype(entry_, AE_IFREG);
    archive_entry_set_perm(entry_, 0644);
    archive_entry_set_size(entry_, static_cast<la_int64_t>(bytes.size()));
    archive_entry_set_mtime(entry_, static_cast<time_t>(modifiedSeconds), modifiedNanoseconds);
    if (archive_write_header(handle_, entry_) < ARCHIVE_WARN) return Fail();
    std::size_t at = 0;
    while (at < bytes.size()) {
      const la_ssize_t wrote =
          archive_write_data(handle_, bytes.data() + at, std::min(bytes.size() - at, kBlockSize));
      if (wrote <= 0) return Fail();
      at += static_cast<std::size_t>(wrote);
    }
    if (archive_write_finish_entry(handle_) < ARCHIVE_WARN) return Fail();
    return IoStatus::Ok();
  }

  IoStatus Commit() override {
    Utf8Scope scope;
    if (failed_) return IoStatus::Error("cannot write the archive");
    if (archive_write_close(handle_) != ARCHIVE_OK) return Fail();
    // A new archive is made durable as a replacement is: it is written once,
    // at the end of its run.
    IoStatus status = files_.Flush({&staged_});
    if (status.ok()) status = files_.Commit(&staged_);
    staging_ = false;
    return status;
  }

 private:
  static la_ssize_t WriteCallback(archive*, void* self, const void* buffer, size_t length) {
    auto* writer = static_cast<LibarchiveWriter*>(self);
    if (!writer->staging_) {
      writer->writeError_ = "cannot write the archive file";
      return -1;
    }
    const IoStatus appended = writer->files_.Append(
        &writer->staged_, std::string_view(static_cast<const char*>(buffer), length));
    if (!appended.ok()) {
      // The staged file is discarded.
      writer->staging_ = false;
      writer->writeError_ = appended.message();
      return -1;
    }
    return static_cast<la_ssize_t>(length);
  }

  IoStatus Fail() {
    failed_ = true;
    if (!writeError_.empty()) return IoStatus::Error(writeError_);
    return ArchiveError(handle_, "cannot write the archive");
  }

  FileSystem& files_;
  StagedFile staged_;
  bool staging_ = false;  // "staged_" holds the archive so far
  archive* handle_ = nullptr;
  archive_entry* entry_ = nullptr;
  std::string writeError_;
  bool zip_ = false;
  bool failed_ = false;
};

}  // namespace

void ModifiedSinceEpoch(const FileIdentity& identity, std::int64_t* seconds,
                        std::int32_t* nanoseconds) {
#ifdef _WIN32
  // 100-nanosecond ticks since 1601.
  constexpr std::int64_t kTicksPerSecond = 10000000;
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  std::int64_t ticks = identity.modified - kSecondsFrom1601To1970 * kTicksPerSecond;
  std::int64_t whole = ticks / kTicksPerSecond;
  std::int64_t rest = ticks % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --whole;
  }
  *seconds = whole;
  *nanoseconds = static_cast<std::int32_t>(rest * 100);
#else
  constexpr std::int64_t kNanosecondsPerSecond = 1000000000;
  std::int64_t whole = identity.modified / kNanosecondsPerSecond;
  std::int64_t rest = identity.modified % kNanosecondsPerSecond;
  if (rest < 0) {
    rest += kNanosecondsPerSecond;
    --whole;
  }
  *seconds = whole;
  *nanoseconds = static_cast<std::int32_t>(rest);
#endif
}

namespace {

std::optional<ArchiveKind> ArchiveKindOfLowerName(std::string_view lower) {
  if (EndsWith(lower, ".zip")) return ArchiveKind::Zip;
  if (EndsWith(lower, ".tar")) return ArchiveKind::Tar;
  if (EndsWith(lower, ".tar.gz") || EndsWith(lower, ".tgz")) return ArchiveKind::TarGzip;
  if (EndsWith(lower, ".tar.bz2")) return ArchiveKind::TarBzip2;
  if (EndsWith(lower, ".tar.xz")) return ArchiveKind::TarXz;
  if (EndsWith(lower, ".tar.zst")) return ArchiveKind::TarZstd;
  return std::nullopt;
}

}  // namespace

std::optional<ArchiveKind> ArchiveKindOfName(const std::filesystem::path& name) {
  return ArchiveKindOfLowerName(LowerName(name));
}

bool HasArchiveName(const std::filesystem::path& name) {
  const std::string lower = LowerName(name);
  if (ArchiveKindOfLowerName(lower)) return true;
  for (std::string_view suffix :
       {".7z", ".tbz2", ".tbz", ".txz", ".tzst", ".gz", ".bz2", ".xz", ".zst"}) {
    if (EndsWith(lower, suffix)) return true;
  }
  return false;
}

IoStatus Archives::Open(const std::filesystem::path& path, const ArchiveReadOptions& options,
                        std::unique_ptr<ArchiveReader>* reader, bool* isArchive) {
  Utf8Scope scope;
  reader->reset();
  *isArchive = false;
  archive* handle = archive_read_new();
  if (handle == nullptr) return IoStatus::Error("not enough memory");
  auto owned = std::make_unique<LibarchiveReader>(handle, InnerName(path));
  archive_read_support_filter_all(handle);
  // The archive formats, not mtree, whose text manifests a plain file could
  // pass for, nor ar, warc or xar.
  archive_read_support_format_7zip(handle);
  archive_read_support_format_cab(handle);
  archive_read_support_format_cpio(handle);
  archive_read_support_format_iso9660(handle);
  archive_read_support_format_lha(handle);
  archive_read_support_format_rar(handle);
  archive_read_support_format_rar5(handle);
  archive_read_support_format_tar(handle);
  archive_read_support_format_zip(handle);
  archive_read_support_format_raw(handle);
  archive_read_support_format_empty(handle);
  const std::string charset = options.zipNameCharset.empty() ? "CP437" : options.zipNameCharset;
  // A charset the system cannot convert leaves the names as they are stored.
  archive_read_set_options(handle, ("zip:hdrcharset=" + charset).c_str());
  // Tar names are UTF-8 (pax says so; older headers carry no charset).
  archive_read_set_options(handle, "tar:hdrcharset=UTF-8");
#ifdef _WIN32
  const int opened = archive_read_open_filename_w(handle, path.c_str(), kBlockSize);
#else
  const int opened = archive_read_open_filename(handle, path.c_str(), kBlockSize);
#endif
  if (opened != ARCHIVE_OK) return ArchiveError(handle, "cannot open the file");
  IoStatus status = owned->Start(isArchive);
  if (!status.ok()) {
    // The content was recognised, then found damaged: an archive.
    *isArchive = true;
    return status;
  }
  if (*isArchive) *reader = std::move(owned);
  return IoStatus::Ok();
}

IoStatus Archives::Create(FileSystem& files, const FolderHandle& folder,
                          const std::filesystem::path& name, const StageOptions& options,
                          ArchiveKind kind, std::unique_ptr<ArchiveWriter>* writer) {
  writer->reset();
  auto owned = std::make_unique<LibarchiveWriter>(files);
  IoStatus status = owned->Start(folder, name, options, kind);
  if (!status.ok()) return status;
  *writer = std::move(owned);
  return IoStatus::Ok();
}

IoStatus Archives::Create(const std::filesystem::path& path, ArchiveKind kind,
                          std::unique_ptr<ArchiveWriter>* writer) {
  writer->reset();
  FileSystem& files = DefaultFileSystem();
  FolderHandle folder;
  const IoStatus opened =
      files.OpenFolder(path.has_parent_path() ? path.parent_path() : ".", &folder);
  if (!opened.ok()) return opened;
  return Create(files, folder, path.filename(), StageOptions(), kind, writer);
}

Archives& DefaultArchives() {
  static Archives archives;
  return archives;
}

}  // namespace varnoket::platform
