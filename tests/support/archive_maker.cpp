// SPDX-License-Identifier: MIT
#include "tests/support/archive_maker.h"

#include <archive.h>
#include <archive_entry.h>

#include <stdexcept>

#include "platform/path_text.h"

#ifndef _WIN32
#include <locale.h>
#endif

namespace varnoket::test {
namespace {

la_ssize_t Append(archive*, void* out, const void* buffer, size_t length) {
  static_cast<std::string*>(out)->append(static_cast<const char*>(buffer), length);
  return static_cast<la_ssize_t>(length);
}

void Check(archive* handle, int result) {
  if (result < ARCHIVE_WARN) {
    const char* text = archive_error_string(handle);
    throw std::runtime_error(text != nullptr ? text : "libarchive failed");
  }
}

}  // namespace

std::string MakeArchive(MadeFormat format, const std::vector<MadeEntry>& entries,
                        const MadeOptions& options) {
#ifndef _WIN32
  // Names cross libarchive in the thread's locale: make it UTF-8.
  static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  const locale_t previous = ::uselocale(utf8);
#endif
  std::string out;
  [[maybe_unused]] bool binaryNames = false;
  archive* handle = archive_write_new();
  switch (format) {
    case MadeFormat::Zip:
      Check(handle, archive_write_set_format_zip(handle));
      // Names flagged as UTF-8, unless a code page is asked for.
      Check(handle,
            archive_write_set_options(handle, ("zip:hdrcharset=" + (options.zipNameCharset.empty()
                                                                        ? std::string("UTF-8")
                                                                        : options.zipNameCharset))
                                                  .c_str()));
      if (!options.passphrase.empty()) {
        Check(handle, archive_write_set_options(handle, "zip:encryption=traditional"));
        Check(handle, archive_write_set_passphrase(handle, options.passphrase.c_str()));
      }
      break;
    case MadeFormat::SevenZip:
      Check(handle, archive_write_set_format_7zip(handle));
      break;
    case MadeFormat::Gzip:
    case MadeFormat::Bzip2:
    case MadeFormat::Xz:
    case MadeFormat::Zstd:
      Check(handle, archive_write_set_format_raw(handle));
      break;
    default:
      Check(handle, archive_write_set_format_pax_restricted(handle));
#ifdef _WIN32
      Check(handle, archive_write_set_options(handle, "pax:hdrcharset=BINARY"));
      binaryNames = true;
#endif
      break;
  }
  switch (format) {
    case MadeFormat::TarGzip:
    case MadeFormat::Gzip:
      Check(handle, archive_write_add_filter_gzip(handle));
      Check(handle, archive_write_set_options(handle, "gzip:!timestamp"));
      break;
    case MadeFormat::TarBzip2:
    case MadeFormat::Bzip2:
      Check(handle, archive_write_add_filter_bzip2(handle));
      break;
    case MadeFormat::TarXz:
    case MadeFormat::Xz:
      Check(handle, archive_write_add_filter_xz(handle));
      break;
    case MadeFormat::TarZstd:
    case MadeFormat::Zstd:
      Check(handle, archive_write_add_filter_zstd(handle));
      break;
    default:
      break;
  }
  Check(handle, archive_write_set_bytes_in_last_block(handle, 1));
  Check(handle, archive_write_open(handle, &out, nullptr, &Append, nullptr));
  archive_entry* entry = archive_entry_new();
  for (const MadeEntry& made : entries) {
    archive_entry_clear(entry);
#ifdef _WIN32
    // libarchive 3.6 turns UTF-8 into the ANSI code page first: zip and 7z
    // take wide text, tar the UTF-8 bytes (written as they are).
    if (binaryNames) {
      archive_entry_copy_pathname(entry, made.name.c_str());
    } else {
      archive_entry_copy_pathname_w(entry, platform::PathFromUtf8(made.name).c_str());
    }
#else
    archive_entry_update_pathname_utf8(entry, made.name.c_str());
#endif
    archive_entry_set_mtime(entry, static_cast<time_t>(made.modified), 0);
    archive_entry_set_perm(entry, static_cast<mode_t>(made.permissions));
    switch (made.kind) {
      case MadeEntry::Kind::File:
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_size(entry, static_cast<la_int64_t>(made.bytes.size()));
        break;
      case MadeEntry::Kind::Folder:
        archive_entry_set_filetype(entry, AE_IFDIR);
        break;
      case MadeEntry::Kind::SymbolicLink:
        archive_entry_set_filetype(entry, AE_IFLNK);
        archive_entry_copy_symlink(entry, made.linkTarget.c_str());
        break;
      case MadeEntry::Kind::HardLink:
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_copy_hardlink(entry, made.linkTarget.c_str());
        break;
      case MadeEntry::Kind::Fifo:
        archive_entry_set_filetype(entry, AE_IFIFO);
        break;
    }
    Check(handle, archive_write_header(handle, entry));
    if (made.kind == MadeEntry::Kind::File && !made.bytes.empty()) {
      if (archive_write_data(handle, made.bytes.data(), made.bytes.size()) < 0)
        Check(handle, ARCHIVE_FATAL);
    }
  }
  archive_entry_free(entry);
  Check(handle, archive_write_close(handle));
  archive_write_free(handle);
#ifndef _WIN32
  ::uselocale(previous);
#endif
  return out;
}

std::string Incompressible(std::size_t size) {
  std::string letters(size, ' ');
  unsigned state = 1;
  for (char& c : letters) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>('a' + (state >> 16) % 26);
  }
  return letters;
}

}  // namespace varnoket::test
