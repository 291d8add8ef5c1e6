// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_STREAMS_H_
#define VARNOKET_PLATFORM_STREAMS_H_

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/byte_source.h"
#include "platform/file_system.h"

namespace varnoket::platform {

// The byte streams of the command line: standard input and output, and the
// pipes and devices it reads or writes in place. The default object uses the
// process's own; tests derive from it to make a read or a write fail. Reads
// go block by block, whatever the size.
class Streams {
 public:
  virtual ~Streams() = default;

  // Sets "*source" to standard input, to be read block by block to its end,
  // whatever its size.
  virtual IoStatus OpenStandardInput(std::unique_ptr<ByteSource>* source);

  // Opens the pipe or device at "path" to be read block by block.
  virtual IoStatus OpenNamedStream(const std::filesystem::path& path,
                                   std::unique_ptr<ByteSource>* source);

  // Writes "bytes" to standard output and flushes it.
  virtual IoStatus WriteStandardOutput(std::string_view bytes);

  // Opens the pipe or device at "path" for writing and writes "bytes" into it,
  // so that the node itself stays as it is.
  virtual IoStatus WriteNamedStream(const std::filesystem::path& path, std::string_view bytes);
};

// The process-wide object that uses the process's own streams.
Streams& DefaultStreams();

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_STREAMS_H_
