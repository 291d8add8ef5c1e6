#ifndef VARNOKET_PLATFORM_FILE_SYSTEM_H_
#define VARNOKET_PLATFORM_FILE_SYSTEM_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace varnoket::platform {

// The outcome of a file operation: success, or the operating system's own
// description of what went wrong (UTF-8, for example "No space left on device").
class IoStatus {
 public:
  IoStatus() = default;
  static IoStatus Ok() { return IoStatus(); }
  static IoStatus Error(std::string message) { return IoStatus(std::move(message)); }

  bool ok() const { return !failed_; }
  const std::string& message() const { return message_; }

 private:
  explicit IoStatus(std::string message) : failed_(true), message_(std::move(message)) {}

  bool failed_ = false;
  std::string message_;
};

// The largest file that is read whole into memory. Larger files are refused
// before anything is allocated.
inline constexpr std::uint64_t kMaxReadableFileSize = 0x7FFFFFFF;

// What kind of thing a path names.
enum class PathKind { Missing, File, Folder, Other };

// The file operations the core and the batch run need. The default object
// talks to the real disk; tests derive from it to inject faults (a full disk,
// a denied folder) into an otherwise real run.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Replaces "*bytes" with the whole content of the file at "path", read with
  // one request after its size is known. Fails for a folder, a file that cannot
  // be opened, one larger than kMaxReadableFileSize, or a short read.
  virtual IoStatus ReadFile(const std::filesystem::path& path, std::string* bytes);

  // Writes "bytes" to "path" so that readers see either the old file or the
  // complete new one: the bytes go to a temporary file in the same folder,
  // which replaces "path" only after every byte is written (and, when a file of
  // that name already exists, made durable first). On failure the temporary
  // file is removed and an existing file at "path" is left untouched. A missing
  // folder is not created. A link is followed and its target replaced; a path
  // naming a folder, device or pipe is refused and left as it is.
  virtual IoStatus WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

  // Creates "path" and any missing parents; succeeds when it already is a folder.
  virtual IoStatus CreateFolders(const std::filesystem::path& path);

  // Report, without changing anything, the failure that WriteFileAtomically or
  // CreateFolders on "path" would meet before writing a byte: a missing folder,
  // something in the way that is not a folder, a folder that cannot be written
  // into, or (for a write) a path naming a folder, device or pipe. Ok means
  // that none is foreseen; the operation itself may still fail (a full disk).
  virtual IoStatus ProbeWrite(const std::filesystem::path& path);
  virtual IoStatus ProbeCreateFolders(const std::filesystem::path& path);

  virtual PathKind KindOf(const std::filesystem::path& path);
};

// The process-wide object that uses the real disk.
FileSystem& DefaultFileSystem();

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_FILE_SYSTEM_H_
