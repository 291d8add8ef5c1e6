// SPDX-License-Identifier: MIT
#ifndef VARNOKET_CLI_PROGRESS_H_
#define VARNOKET_CLI_PROGRESS_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace varnoket::cli {

// The one-line progress bar: a bar, files done of total, the rate and the time
// left, for example "[#######.............]  350/1000 files  412 files/s  0:02 left".
// "elapsedSeconds" is the time since the run began; no rate or estimate is
// given before a file is done or while the elapsed time is zero.
//
// The line has at most "width" characters: the bar narrows (to 8), then the
// rate, the time left, the bar and the word "files" go in that order, and
// what still does not fit is cut.
std::string FormatProgress(std::size_t done, std::size_t total, double elapsedSeconds,
                           std::size_t width);

// The progress bar of one large record: bytes read of its size, games found,
// the rate and the time left, for example
// "[####................]  4.1 GiB/21.9 GiB  1,270,334 games  68.2 MiB/s  4:21 left".
// A "total" of 0 (standard input, a pipe) shows no bar and no time left. It
// shortens as FormatProgress does.
std::string FormatByteProgress(std::uint64_t done, std::uint64_t total, std::uint64_t games,
                               double elapsedSeconds, std::size_t width);

// A byte count for people: "512 B", "1.5 KiB", "18.4 MiB", "2.0 GiB".
std::string FormatBytes(std::uint64_t bytes);

// A duration: "0.42 s" below a minute, "3:07" (minutes:seconds) or
// "1:02:03" from then on.
std::string FormatDuration(double seconds);

}  // namespace varnoket::cli

#endif  // VARNOKET_CLI_PROGRESS_H_
