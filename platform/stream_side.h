// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_STREAM_SIDE_H_
#define VARNOKET_PLATFORM_STREAM_SIDE_H_

#include <cstdio>
#include <filesystem>

// What each operating system's side supplies to the shared code of Streams.
namespace varnoket::platform::stream_side {

// Opens the pipe or device at "path" for binary reading or writing. Returns
// nullptr with errno set when it cannot.
std::FILE* Open(const std::filesystem::path& path, bool forWriting);

// Puts a standard stream into binary mode where the system has a text mode,
// so that bytes pass unchanged.
void MakeBinary(std::FILE* stream);

}  // namespace varnoket::platform::stream_side

#endif  // VARNOKET_PLATFORM_STREAM_SIDE_H_
