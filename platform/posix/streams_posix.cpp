// SPDX-License-Identifier: MIT
// POSIX side of the command line's streams: no text mode to leave.
#include "platform/stream_side.h"

namespace varnoket::platform::stream_side {

std::FILE* Open(const std::filesystem::path& path, bool forWriting) {
  return std::fopen(path.c_str(), forWriting ? "wb" : "rb");
}

void MakeBinary(std::FILE*) {}

}  // namespace varnoket::platform::stream_side
