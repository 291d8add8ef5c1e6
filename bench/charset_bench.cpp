// SPDX-License-Identifier: MIT
// What --charset auto costs: cleaning every file of the corpus in memory with
// and without it (the target is at most 1.2 times the time without), and
// detection alone on the labelled samples (tests/oracle/charset_samples.h).
//
//   build/bench/bin/charset_bench
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "clean/clean_record.h"
#include "sgf/charset_detect.h"
#include "tests/oracle/charset_samples.h"

namespace varnoket {
namespace {

std::filesystem::path CorpusFolder() {
  const char* overridden = std::getenv("VARNOKET_BENCH_CORPUS");
  return overridden != nullptr ? std::filesystem::path(overridden)
                               : std::filesystem::path(VARNOKET_BENCH_CORPUS_DIR);
}

std::vector<std::string> ReadAll(const std::filesystem::path& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

std::size_t TotalSize(const std::vector<std::string>& files) {
  std::size_t size = 0;
  for (const std::string& file : files) size += file.size();
  return size;
}

// Every file cleaned in one pass, as the batch run does it, under "assumed".
void CleanCorpus(benchmark::State& state, const std::vector<std::string>* files,
                 const AssumedCharset* assumed) {
  std::string out;
  for (auto _ : state) {
    for (const std::string& file : *files) {
      benchmark::DoNotOptimize(CleanRecord(file, &out, assumed));
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(TotalSize(*files)));
}

void DetectSamples(benchmark::State& state, const std::vector<std::string>* samples) {
  for (auto _ : state) {
    for (const std::string& sample : *samples) benchmark::DoNotOptimize(DetectCharset(sample));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(TotalSize(*samples)));
}

}  // namespace
}  // namespace varnoket

int main(int argc, char** argv) {
  using namespace varnoket;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const std::filesystem::path corpus = CorpusFolder();
  static const std::vector<std::string> files = ReadAll(corpus);
  if (files.empty()) {
    std::fprintf(stderr, "charset_bench: no corpus at %s\n", corpus.string().c_str());
    return 1;
  }
  static std::vector<std::string> samples;
  test::ForEachCharsetSample(corpus, [](const test::CharsetFamily&, const std::filesystem::path&,
                                        const std::string& bytes) { samples.push_back(bytes); });
  static const AssumedCharset automatic = *AssumeCharset("auto");
  benchmark::RegisterBenchmark("CleanCorpus/plain", CleanCorpus, &files, nullptr)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("CleanCorpus/auto", CleanCorpus, &files, &automatic)
      ->Unit(benchmark::kMillisecond);
  if (!samples.empty()) {
    benchmark::RegisterBenchmark("DetectSamples", DetectSamples, &samples)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
