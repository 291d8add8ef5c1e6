// SPDX-License-Identifier: MIT
#include "cli/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/reason_text.h"

namespace varnoket::cli {
namespace {

constexpr std::size_t kBarWidth = 20;
constexpr std::size_t kMinBarWidth = 8;

std::string Clock(std::uint64_t totalSeconds) {
  const std::uint64_t hours = totalSeconds / 3600;
  const std::uint64_t minutes = totalSeconds / 60 % 60;
  const std::uint64_t seconds = totalSeconds % 60;
  char text[48];
  if (hours > 0) {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", static_cast<unsigned long long>(hours),
                  static_cast<unsigned long long>(minutes),
                  static_cast<unsigned long long>(seconds));
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(minutes),
                  static_cast<unsigned long long>(seconds));
  }
  return text;
}

}  // namespace

std::string FormatProgress(std::size_t done, std::size_t total, double elapsedSeconds,
                           std::size_t width) {
  done = std::min(done, total);
  const std::string counts = std::to_string(done) + "/" + std::to_string(total);
  std::string rate;
  std::string left;
  if (done > 0 && elapsedSeconds > 0) {
    const double perSecond = static_cast<double>(done) / elapsedSeconds;
    char text[32];
    std::snprintf(text, sizeof text, "  %.0f files/s", perSecond);
    rate = text;
    const double seconds = static_cast<double>(total - done) / perSecond;
    left = "  " + Clock(static_cast<std::uint64_t>(std::ceil(seconds))) + " left";
  }

  // From the fullest line to the barest, the first that fits.
  const std::string tails[] = {counts + " files" + rate + left, counts + " files" + left,
                               counts + " files"};
  for (const std::string& tail : tails) {
    const std::size_t room = width > tail.size() + 4 ? width - tail.size() - 4 : 0;
    if (room < kMinBarWidth) continue;
    const std::size_t barWidth = std::min(room, kBarWidth);
    const std::size_t filled = total == 0 ? barWidth : done * barWidth / total;
    std::string line = "[";
    line.append(filled, '#');
    line.append(barWidth - filled, '.');
    line += "]  ";
    return line + tail;
  }
  for (const std::string& bare : {counts + " files", counts}) {
    if (bare.size() <= width) return bare;
  }
  return counts.substr(0, width);
}

std::string FormatByteProgress(std::uint64_t done, std::uint64_t total, std::uint64_t games,
                               double elapsedSeconds, std::size_t width) {
  if (total != 0) done = std::min(done, total);
  std::string counts = FormatBytes(done);
  if (total != 0) counts += "/" + FormatBytes(total);
  const std::string gameCount = "  " + GroupedCount(games) + (games == 1 ? " game" : " games");
  std::string rate;
  std::string left;
  if (done > 0 && elapsedSeconds > 0) {
    const double perSecond = static_cast<double>(done) / elapsedSeconds;
    rate = "  " + FormatBytes(static_cast<std::uint64_t>(perSecond)) + "/s";
    if (total != 0) {
      const double seconds = static_cast<double>(total - done) / perSecond;
      left = "  " + Clock(static_cast<std::uint64_t>(std::ceil(seconds))) + " left";
    }
  }
  const std::string tails[] = {counts + gameCount + rate + left, counts + gameCount + left,
                               counts + gameCount, counts};
  for (const std::string& tail : tails) {
    if (total == 0) {
      if (tail.size() <= width) return tail;
      continue;
    }
    const std::size_t room = width > tail.size() + 4 ? width - tail.size() - 4 : 0;
    if (room < kMinBarWidth) continue;
    const std::size_t barWidth = std::min(room, kBarWidth);
    const auto filled = static_cast<std::size_t>(done * barWidth / total);
    std::string line = "[";
    line.append(filled, '#');
    line.append(barWidth - filled, '.');
    line += "]  ";
    return line + tail;
  }
  return counts.substr(0, width);
}

std::string FormatBytes(std::uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string FormatDuration(double seconds) {
  if (!(seconds >= 0)) seconds = 0;
  if (seconds < 60) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
  }
  return Clock(static_cast<std::uint64_t>(seconds));
}

}  // namespace varnoket::cli
