// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_FILE_SYSTEM_H_
#define VARNOKET_PLATFORM_FILE_SYSTEM_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnoket::platform {

class ByteSource;

// The outcome of a file operation: success, or the operating system's own
// description of what went wrong (UTF-8, for example "No space left on device").
class IoStatus {
 public:
  IoStatus() = default;
  static IoStatus Ok() { return IoStatus(); }
  static IoStatus Error(std::string message) { return IoStatus(std::move(message)); }
  // The name no longer refers to the file that was read, or to the file that
  // stood there when the write began: it was changed, replaced or removed.
  static IoStatus Changed() {
    IoStatus status("the file changed in the meantime");
    status.changed_ = true;
    return status;
  }
  // The disk has no room left for the bytes or for one more file ("No space
  // left on device", a full quota).
  static IoStatus NoSpace(std::string message) {
    IoStatus status(std::move(message));
    status.noSpace_ = true;
    return status;
  }

  bool ok() const { return !failed_; }
  bool changed() const { return changed_; }
  bool noSpace() const { return noSpace_; }
  const std::string& message() const { return message_; }

 private:
  explicit IoStatus(std::string message) : failed_(true), message_(std::move(message)) {}

  bool failed_ = false;
  bool changed_ = false;
  bool noSpace_ = false;
  std::string message_;
};

// Why a file that may not be written is left as it is.
inline constexpr const char* kReadOnly = "read-only";
// Why a symbolic link at a destination is not followed (see FileSystem::Stage).
inline constexpr const char* kLinkNotFollowed = "link not followed";
// Why a pipe, a socket or a device is neither read nor replaced.
inline constexpr const char* kNotARegularFile = "not a regular file";

// The largest file that is read whole into memory. Larger files are refused
// before anything is allocated.
inline constexpr std::uint64_t kMaxReadableFileSize = 0x7FFFFFFF;

// What kind of thing a path names.
enum class PathKind { Missing, File, Folder, Other };

// Which file a name referred to, and in what state: the same device, file
// number, size and modification time mean the same, unchanged file.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;  // the inode number; the file index on Windows
  std::uint64_t size = 0;
  std::int64_t modified = 0;      // in nanoseconds; in 100-nanosecond ticks on Windows
  std::uint32_t permissions = 0;  // the POSIX permission bits; 0 on Windows
  bool operator==(const FileIdentity&) const = default;
};

// A folder that files are written in, opened once: every write in it is made
// relative to its handle where the system has them (a descriptor on POSIX),
// so that a name on the way that is swapped for a link afterwards cannot
// redirect it. Copies share the one handle, which stays open while any copy
// or any file staged in the folder lives.
class FolderHandle {
 public:
  struct State;  // the platform side's handle

  FolderHandle() = default;

  bool valid() const { return state_ != nullptr; }
  // The path it was opened by, for messages and for listing the folder.
  const std::filesystem::path& path() const { return path_; }
  // The file system that holds it (0 where the system does not tell).
  std::uint64_t device() const { return device_; }
  // OpenSubfolder created it: it was empty then.
  bool created() const { return created_; }

 private:
  friend class FileSystem;

  std::filesystem::path path_;
  std::uint64_t device_ = 0;
  bool created_ = false;
  std::shared_ptr<const State> state_;
};

// What a write asks of Stage besides the bytes.
struct StageOptions {
  // Cleaning in place: the file that was read, which the name must still
  // hold, unchanged; null otherwise.
  const FileIdentity* read = nullptr;
  // The permission bits of a new file, as the source file had them; the
  // user's umask is applied, as cp(1) applies it. A replacement keeps the
  // bits of the file it replaces. Ignored on Windows.
  std::uint32_t permissions = 0666;
  // The run created the folder and put nothing under this name: the name is
  // not looked up first, and the file is made under it at once where the
  // system allows (see StagedFile). If another program took it meanwhile,
  // Stage or Commit fails with Changed and leaves that file in place.
  bool nameIsFree = false;
};

// A file written whole but not yet under its name: an unnamed file in the
// target's folder where the system has them, else a temporary name there.
// A new file under a free name (StageOptions::nameIsFree) is made under that
// name on POSIX systems, and can be seen there, empty or in part, only while
// Stage writes it. Destroying it before FileSystem::Commit discards the bytes
// and leaves the target as it was.
class StagedFile {
 public:
  struct State;  // the platform side's handles and names

  StagedFile();
  ~StagedFile();
  StagedFile(StagedFile&&) noexcept;
  StagedFile& operator=(StagedFile&&) noexcept;

  const std::filesystem::path& target() const { return target_; }
  // True when it takes the place of an existing file: its content must be
  // made durable by FileSystem::Flush before FileSystem::Commit.
  bool replaces() const { return replaces_; }
  std::uint64_t size() const { return size_; }
  // What of the replaced file could not be kept, such as extended attributes
  // that the user may not set; empty when everything was kept.
  const std::string& note() const { return note_; }

 private:
  friend class FileSystem;

  std::filesystem::path target_;
  bool replaces_ = false;
  std::uint64_t size_ = 0;
  std::string note_;
  std::unique_ptr<State> state_;
};

// The file operations the core and the batch run need. The default object
// talks to the real disk; tests derive from it to inject faults (a full disk,
// a denied folder, a file changed behind the run's back) into an otherwise
// real run.
class FileSystem {
 public:
  // On POSIX the first one made also makes the process ignore SIGXFSZ (unless
  // it has a handler of its own), so that a write beyond the file-size limit
  // fails with "File too large" instead of ending the process.
  FileSystem();
  virtual ~FileSystem() = default;

  // Replaces "*bytes" with the whole content of the file at "path", read with
  // one request after its size is known, and, unless "identity" is null, sets
  // "*identity" to the file that was read, as it was then. Fails for a folder,
  // a pipe, a device, a file that cannot be opened, one larger than
  // kMaxReadableFileSize, or a short read. "listedAsFile": a folder listing
  // just said that "path" is a regular file, so that only what is opened is
  // checked (a pipe or a device that took the name meanwhile is still
  // refused, though opening it may have had its effect).
  virtual IoStatus ReadFile(const std::filesystem::path& path, std::string* bytes,
                            FileIdentity* identity, bool listedAsFile);
  IoStatus ReadFile(const std::filesystem::path& path, std::string* bytes, FileIdentity* identity) {
    return ReadFile(path, bytes, identity, false);
  }

  // Replacing a file is three steps, so that many replacements can share one
  // durability barrier: Stage writes each, Flush makes a group durable, Commit
  // puts each under its name. Readers of "path" see the old file or the
  // complete new one, never a mixture; after a power cut at any moment the
  // name holds the old content or the new.
  //
  // Stage writes "bytes" into "*staged", a new file that will take the name
  // "name" (one component) in "folder", or wherever a link there leads, with
  // the owner (when the system allows it to be given away), group, permission
  // bits and extended attributes of the file it is to replace (the note says
  // which could not be kept), or, for a new file, options.permissions. Nothing
  // is visible under any name yet. Writeback is left to the group's barrier,
  // which writes the whole group in one go (starting each file's writeback at
  // once, with sync_file_range, made runs over a full destination slower on
  // ext4, with and without discard). It refuses, leaving
  // everything as it was, what ProbeWrite foresees, and, when options.read is
  // given (cleaning in place), a name that no longer refers to that file in
  // that state: Changed. A full disk fails with NoSpace.
  virtual IoStatus Stage(const FolderHandle& folder, const std::filesystem::path& name,
                         std::string_view bytes, const StageOptions& options, StagedFile* staged);

  // Adds "bytes" to the content of "*staged", after what Stage and earlier
  // calls wrote, so that a file of any size can be staged a part at a time.
  // On failure "*staged" is discarded, as if it had been destroyed.
  virtual IoStatus Append(StagedFile* staged, std::string_view bytes);

  // The durability barrier: when it succeeds, the content of every file of
  // "files" survives a power cut. One flush of the file system for the whole
  // group where the system offers one without special rights (syncfs(2) on
  // Linux); each file's own flush elsewhere. On failure none of them may be
  // committed as a replacement.
  virtual IoStatus Flush(const std::vector<StagedFile*>& files);

  // Puts "*staged" under its name. A new file takes a name that is still free
  // and fails with Changed when another file took it meanwhile. A replacement
  // happens only if the name still refers to the file it referred to at Stage
  // (for cleaning in place: the file that was read), unchanged; otherwise it
  // fails with Changed and the other file is left in place. Where the system
  // offers an atomic exchange (renameat2 RENAME_EXCHANGE) the new file is
  // swapped in first and the file that came out is checked; a stranger is
  // swapped back at once, so no other file is ever lost, though a reader may
  // see the new content for that instant. Elsewhere (Windows, and file systems
  // without the exchange) the name is checked immediately before the rename:
  // a change made in the few microseconds between that check and the rename
  // is overwritten. The temporary name in the target's folder is
  // ".varnoket-<process>-<n>.tmp", short whatever the target's name; an
  // unnamed file gets it only here, just before the exchange or rename.
  // "*staged" is spent either way.
  virtual IoStatus Commit(StagedFile* staged);

  // Removes from "folder" the temporary files that earlier runs left when they
  // were killed: regular files named ".varnoket-<process>-<n>.tmp", also after
  // another name (as "game.sgf.varnoket-12-3.tmp"), whose process no longer
  // runs. Nothing else is touched. Succeeds when nothing was left.
  virtual IoStatus RemoveLeftoverTemporaries(const std::filesystem::path& folder);

  // Creates "path" and any missing parents; succeeds when it already is a folder.
  virtual IoStatus CreateFolders(const std::filesystem::path& path);

  // Opens the folder "path" for writing in, as the user named it: links on
  // the way are followed as any program follows them.
  virtual IoStatus OpenFolder(const std::filesystem::path& path, FolderHandle* folder);

  // Opens the folder "relative" below "base", one component at a time, each
  // relative to the one before; with "create", a missing one is created. A
  // link on the way is followed only under the rule Stage applies to a file's
  // name (on POSIX, the kernel's protected-symlinks rule: it belongs to the
  // running user or to the owner of the folder that holds it), and otherwise
  // fails with kLinkNotFollowed, so nothing is written past a link that a
  // stranger planted below "base".
  virtual IoStatus OpenSubfolder(const FolderHandle& base, const std::filesystem::path& relative,
                                 bool create, FolderHandle* folder);

  // Makes durable everything written so far to the file systems that hold
  // "folders": new files, replacements and the names given to them. One flush
  // per file system where the system offers one without special rights
  // (syncfs(2) on Linux); on Windows each new file was flushed at Commit and
  // this does nothing.
  virtual IoStatus FlushFolders(const std::vector<FolderHandle>& folders);

  // Report, without changing anything, the failure that a write (Stage) or
  // CreateFolders on "path" would meet before writing a byte: a missing
  // folder, something in the way that is not a folder, a folder that cannot be
  // written into, or, for a write:
  //  - a folder, device or pipe at "path";
  //  - a file the running user may not write: kReadOnly (on Windows, the
  //    read-only attribute);
  //  - on POSIX, a symbolic link that the kernel's protected-symlinks rule
  //    would not follow, applied in every folder: one owned neither by the
  //    running user nor by the owner of the folder that holds it
  //    (kLinkNotFollowed). Other links are followed one component at a time,
  //    never by resolving the path first, and their target is replaced; a
  //    dangling link is replaced by the file itself.
  // Ok means that none is foreseen; the operation itself may still fail (a
  // full disk).
  virtual IoStatus ProbeWrite(const std::filesystem::path& path);
  virtual IoStatus ProbeCreateFolders(const std::filesystem::path& path);

  virtual PathKind KindOf(const std::filesystem::path& path);

  // Sets "*kind" to what "path" names (links followed). Fails, with "*kind"
  // Missing, when nothing is there ("No such file or directory") or when it
  // cannot be looked at, with the system's reason.
  virtual IoStatus Classify(const std::filesystem::path& path, PathKind* kind);

  // Sets "*identity" to the file "path" names now (links followed).
  virtual IoStatus IdentifyFile(const std::filesystem::path& path, FileIdentity* identity);

  // Opens the regular file at "path" to be read block by block, whatever its
  // size (64-bit offsets on every platform), and, unless "identity" is null,
  // sets "*identity" to the file opened, as it was then. Fails as ReadFile
  // does for a folder, a pipe, a device or a file that cannot be opened;
  // "listedAsFile" as for ReadFile.
  virtual IoStatus OpenFile(const std::filesystem::path& path, std::unique_ptr<ByteSource>* source,
                            FileIdentity* identity, bool listedAsFile);
  IoStatus OpenFile(const std::filesystem::path& path, std::unique_ptr<ByteSource>* source,
                    FileIdentity* identity) {
    return OpenFile(path, source, identity, false);
  }

  // Writes one file atomically: OpenFolder on its folder, Stage, Flush when it
  // replaces a file, Commit.
  IoStatus WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                               const StageOptions& options = StageOptions());
  // The same in "folder", open, under "name" (one component).
  IoStatus WriteFileAtomically(const FolderHandle& folder, const std::filesystem::path& name,
                               std::string_view bytes,
                               const StageOptions& options = StageOptions());
};

// Raises the process's limit on open files as far as it may without
// privilege, and returns the limit then in force (on Windows, where files are
// not counted so, a large number).
std::uint64_t RaiseOpenFileLimit();

// The process-wide object that uses the real disk.
FileSystem& DefaultFileSystem();

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_FILE_SYSTEM_H_
