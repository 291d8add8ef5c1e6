// SPDX-License-Identifier: MIT
// The command line's streams through C stdio; the system's side opens named
// streams and sets binary mode.
#include "platform/streams.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/stream_side.h"

namespace varnoket::platform {
namespace {

IoStatus StdioError(int error) { return IoStatus::Error(std::strerror(error)); }

IoStatus WriteAll(std::FILE* stream, std::string_view bytes) {
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size() ||
      std::fflush(stream) != 0) {
    return StdioError(errno != 0 ? errno : EIO);
  }
  return IoStatus::Ok();
}

// A C stream read with fread; it is closed at the end when it is owned.
class StdioByteSource : public ByteSource {
 public:
  StdioByteSource(std::FILE* stream, bool owned) : stream_(stream), owned_(owned) {}
  ~StdioByteSource() override {
    if (owned_) std::fclose(stream_);
  }
  StdioByteSource(const StdioByteSource&) = delete;
  StdioByteSource& operator=(const StdioByteSource&) = delete;

  IoStatus Read(char* buffer, std::size_t capacity, std::size_t* got) override {
    errno = 0;
    *got = std::fread(buffer, 1, capacity, stream_);
    if (*got == 0 && std::ferror(stream_)) return StdioError(errno != 0 ? errno : EIO);
    return IoStatus::Ok();
  }

 private:
  std::FILE* stream_;
  bool owned_;
};

}  // namespace

IoStatus Streams::OpenStandardInput(std::unique_ptr<ByteSource>* source) {
  stream_side::MakeBinary(stdin);
  *source = std::make_unique<StdioByteSource>(stdin, /*owned=*/false);
  return IoStatus::Ok();
}

IoStatus Streams::OpenNamedStream(const std::filesystem::path& path,
                                  std::unique_ptr<ByteSource>* source) {
  source->reset();
  std::FILE* stream = stream_side::Open(path, /*forWriting=*/false);
  if (stream == nullptr) return StdioError(errno);
  *source = std::make_unique<StdioByteSource>(stream, /*owned=*/true);
  return IoStatus::Ok();
}

IoStatus Streams::WriteStandardOutput(std::string_view bytes) {
  stream_side::MakeBinary(stdout);
  return WriteAll(stdout, bytes);
}

IoStatus Streams::WriteNamedStream(const std::filesystem::path& path, std::string_view bytes) {
  std::FILE* stream = stream_side::Open(path, /*forWriting=*/true);
  if (stream == nullptr) return StdioError(errno);
  IoStatus status = WriteAll(stream, bytes);
  if (std::fclose(stream) != 0 && status.ok()) status = StdioError(errno);
  return status;
}

Streams& DefaultStreams() {
  static Streams streams;
  return streams;
}

}  // namespace varnoket::platform
