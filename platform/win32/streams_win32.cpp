// Windows side of the command line's streams: the C runtime's streams in
// binary mode, so that bytes pass unchanged (text mode would turn "\n" into
// "\r\n" and stop reading at Ctrl-Z), and pipes and devices opened by their
// UTF-16 names.
#include "platform/streams.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace varnoket::platform {
namespace {

IoStatus CrtError(int error) { return IoStatus::Error(std::strerror(error)); }

// Reads "stream" to its end, refusing more than a file may hold.
IoStatus ReadAll(std::FILE* stream, std::string* bytes) {
  bytes->clear();
  char buffer[1 << 16];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, stream);
    if (bytes->size() + got > kMaxReadableFileSize) {
      bytes->clear();
      return CrtError(EFBIG);
    }
    bytes->append(buffer, got);
    if (got < sizeof buffer) break;
  }
  if (std::ferror(stream)) {
    const int error = errno;
    bytes->clear();
    return CrtError(error != 0 ? error : EIO);
  }
  return IoStatus::Ok();
}

IoStatus WriteAll(std::FILE* stream, std::string_view bytes) {
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size() ||
      std::fflush(stream) != 0) {
    return CrtError(errno != 0 ? errno : EIO);
  }
  return IoStatus::Ok();
}

}  // namespace

IoStatus Streams::ReadStandardInput(std::string* bytes) {
  ::_setmode(::_fileno(stdin), _O_BINARY);
  return ReadAll(stdin, bytes);
}

IoStatus Streams::WriteStandardOutput(std::string_view bytes) {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  return WriteAll(stdout, bytes);
}

IoStatus Streams::ReadNamedStream(const std::filesystem::path& path, std::string* bytes) {
  std::FILE* stream = ::_wfopen(path.c_str(), L"rb");
  if (stream == nullptr) return CrtError(errno);
  IoStatus status = ReadAll(stream, bytes);
  std::fclose(stream);
  return status;
}

IoStatus Streams::WriteNamedStream(const std::filesystem::path& path, std::string_view bytes) {
  std::FILE* stream = ::_wfopen(path.c_str(), L"wb");
  if (stream == nullptr) return CrtError(errno);
  IoStatus status = WriteAll(stream, bytes);
  if (std::fclose(stream) != 0 && status.ok()) status = CrtError(errno);
  return status;
}

Streams& DefaultStreams() {
  static Streams streams;
  return streams;
}

}  // namespace varnoket::platform
