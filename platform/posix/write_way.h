// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_POSIX_WRITE_WAY_H_
#define VARNOKET_PLATFORM_POSIX_WRITE_WAY_H_

namespace varnoket::platform {

// Which way the POSIX file operations write. Best uses what the system
// offers (unnamed files, an atomic exchange) and is what the program always
// takes; General is the way taken where neither exists: a named temporary
// file from the start, and a check of the name just before the rename. The
// choice is process-wide and outside FileSystem, so that no object derived
// from it can change how another writes; the file-system tests take both.
enum class WriteWay { Best, General };

void SetWriteWay(WriteWay way);

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_POSIX_WRITE_WAY_H_
