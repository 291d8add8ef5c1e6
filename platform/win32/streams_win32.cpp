// SPDX-License-Identifier: MIT
// Windows side of the command line's streams: binary mode, so that bytes pass
// unchanged (text mode would turn "\n" into "\r\n" and stop reading at
// Ctrl-Z), and pipes and devices opened by their UTF-16 names.
#include <fcntl.h>
#include <io.h>

#include "platform/stream_side.h"

namespace varnoket::platform::stream_side {

std::FILE* Open(const std::filesystem::path& path, bool forWriting) {
  return ::_wfopen(path.c_str(), forWriting ? L"wb" : L"rb");
}

void MakeBinary(std::FILE* stream) { ::_setmode(::_fileno(stream), _O_BINARY); }

}  // namespace varnoket::platform::stream_side
