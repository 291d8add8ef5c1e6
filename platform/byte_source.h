// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_BYTE_SOURCE_H_
#define VARNOKET_PLATFORM_BYTE_SOURCE_H_

#include <cstddef>

#include "platform/file_system.h"

namespace varnoket::platform {

// A stream of bytes read block by block: an open file, standard input, a
// pipe or a device. Whatever its size, only the block asked for is in memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // Reads up to "capacity" bytes into "buffer" and sets "*got" to how many;
  // 0 means the end. A failure leaves the source unusable.
  virtual IoStatus Read(char* buffer, std::size_t capacity, std::size_t* got) = 0;
};

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_BYTE_SOURCE_H_
