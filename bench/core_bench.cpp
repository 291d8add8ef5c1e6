// SPDX-License-Identifier: MIT
// Throughput of the in-memory core: decoding, loading, cleaning, saving to
// memory and encoding, on a large annotated real file and on a generated
// 1,000,000-move game. Every rate is in bytes of SGF input per second, so the
// stages can be set against each other and against the whole job.
//
//   build/bench/bin/core_bench [--benchmark_filter=Clean]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "clean/clean_record.h"
#include "sgf/utf8.h"
#include "tests/oracle/extract_game.h"
#include "tests/oracle/game_record.h"

namespace varnoket {
namespace {

// One benchmark input: a name for the report and the bytes of its file.
struct Input {
  std::string name;
  std::string bytes;
};

// A main line of one million moves in the layout the writer produces (one node
// per line, CR LF), below a root with the usual game information. The moves
// walk the whole board so that no two neighbours repeat.
std::string MillionMoveGame() {
  constexpr int kMoves = 1000000;
  std::string text = "(;GM[1]FF[4]CA[UTF-8]SZ[19]KM[6.5]PB[Black]PW[White]DT[2024-01-01]RE[B+R]";
  text.reserve(text.size() + std::size_t{kMoves} * 8 + 1);
  for (int i = 0; i < kMoves; ++i) {
    const int point = (i * 7) % 361;
    text += "\r\n;";
    text += (i % 2 == 0) ? 'B' : 'W';
    text += '[';
    text += static_cast<char>('a' + point % 19);
    text += static_cast<char>('a' + point / 19);
    text += ']';
  }
  text += ')';
  return text;
}

// The annotated joseki dictionary of the shared corpus, or nothing when the
// corpus is absent.
bool ReadCorpusFile(const std::filesystem::path& relative, std::string* bytes) {
  const char* overridden = std::getenv("VARNOKET_BENCH_CORPUS");
  const std::filesystem::path folder = overridden != nullptr
                                           ? std::filesystem::path(overridden)
                                           : std::filesystem::path(VARNOKET_BENCH_CORPUS_DIR);
  std::ifstream in(folder / relative, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !bytes->empty();
}

void SetInputRate(benchmark::State& state, const Input& input) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(input.bytes.size()));
}

// The record as LoadFromBytes leaves it; aborts the benchmark run when the
// input does not load, since every number would then be meaningless.
void LoadOrDie(const Input& input, GameRecord* record) {
  record->Reset();
  if (!record->LoadFromBytes(input.bytes)) {
    std::fprintf(stderr, "core_bench: %s does not load\n", input.name.c_str());
    std::exit(1);
  }
}

// Whether the reader takes the input for UTF-8. The record is freed at once,
// so that it leaves no trace in the memory the conversions then use.
bool ReadsAsUtf8(const Input& input) {
  GameRecord record;
  LoadOrDie(input, &record);
  return record.encoding().form == TextEncoding::Form::Utf8;
}

// What the reader does with bytes that are not UTF-8: one code unit per byte.
void Widen(std::string_view bytes, std::u16string* text) {
  text->resize(bytes.size());
  char16_t* write = text->data();
  for (const char byte : bytes) *write++ = static_cast<char16_t>(static_cast<unsigned char>(byte));
}

// What the writer does with such text: one byte per code unit.
void Narrow(std::u16string_view text, std::string* out) {
  out->resize(text.size());
  char* write = out->data();
  for (const char16_t unit : text) *write++ = static_cast<char>(unit);
}

// Decoding the bytes to UTF-16 as the reader does.
void Decode(benchmark::State& state, const Input& input) {
  const bool utf8 = ReadsAsUtf8(input);
  std::u16string text;
  for (auto _ : state) {
    if (utf8) {
      DecodeUtf8(input.bytes, &text);
    } else {
      Widen(input.bytes, &text);
    }
    benchmark::DoNotOptimize(text.data());
  }
  SetInputRate(state, input);
}

// Loading into a fresh record, freeing it included.
void Load(benchmark::State& state, const Input& input) {
  for (auto _ : state) {
    GameRecord record;
    record.Reset();
    benchmark::DoNotOptimize(record.LoadFromBytes(input.bytes));
  }
  SetInputRate(state, input);
}

// Building the cleaned record from a loaded one, freeing it included.
void Extract(benchmark::State& state, const Input& input) {
  GameRecord source;
  LoadOrDie(input, &source);
  for (auto _ : state) {
    GameRecord destination;
    destination.Reset();
    ExtractGame(source, destination);
    benchmark::DoNotOptimize(destination.RootNode());
  }
  SetInputRate(state, input);
}

// Writing the cleaned record to memory.
void SaveCleaned(benchmark::State& state, const Input& input) {
  GameRecord source;
  LoadOrDie(input, &source);
  GameRecord destination;
  destination.Reset();
  ExtractGame(source, destination);
  std::string out;
  for (auto _ : state) {
    destination.SaveToBytes(&out);
    benchmark::DoNotOptimize(out.data());
  }
  SetInputRate(state, input);
}

// Writing the whole loaded record (every variation and comment) to memory.
void SaveLoaded(benchmark::State& state, const Input& input) {
  GameRecord source;
  LoadOrDie(input, &source);
  std::string out;
  for (auto _ : state) {
    source.SaveToBytes(&out);
    benchmark::DoNotOptimize(out.data());
  }
  SetInputRate(state, input);
}

// Encoding the decoded text back to bytes as the writer does.
void Encode(benchmark::State& state, const Input& input) {
  const bool utf8 = ReadsAsUtf8(input);
  std::u16string text;
  if (utf8) {
    DecodeUtf8(input.bytes, &text);
  } else {
    Widen(input.bytes, &text);
  }
  std::string out;
  for (auto _ : state) {
    out.clear();
    if (utf8) {
      AppendUtf8(text, &out);
    } else {
      Narrow(text, &out);
    }
    benchmark::DoNotOptimize(out.data());
  }
  SetInputRate(state, input);
}

// The whole in-memory job of one file, as the batch run does it: load, clean,
// save to memory, both records freed.
void Clean(benchmark::State& state, const Input& input) {
  std::string out;
  for (auto _ : state) {
    GameRecord source;
    source.Reset();
    source.LoadFromBytes(input.bytes);
    GameRecord destination;
    destination.Reset();
    ExtractGame(source, destination);
    destination.SaveToBytes(&out);
    benchmark::DoNotOptimize(out.data());
  }
  SetInputRate(state, input);
}

// The same job in one pass, as the batch run does it: no record is built.
void CleanOnePass(benchmark::State& state, const Input& input) {
  std::string out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(CleanRecord(input.bytes, &out));
    benchmark::DoNotOptimize(out.data());
  }
  SetInputRate(state, input);
}

void Register(const Input& input) {
  using Stage = void (*)(benchmark::State&, const Input&);
  const std::pair<const char*, Stage> stages[] = {
      {"Decode", Decode},         {"Load", Load},
      {"Extract", Extract},       {"SaveCleaned", SaveCleaned},
      {"SaveLoaded", SaveLoaded}, {"Encode", Encode},
      {"Clean", Clean},           {"CleanOnePass", CleanOnePass},
  };
  for (const auto& [name, stage] : stages) {
    benchmark::RegisterBenchmark((std::string(name) + "/" + input.name).c_str(), stage, input)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.5);
  }
}

}  // namespace
}  // namespace varnoket

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  std::vector<varnoket::Input> inputs;
  varnoket::Input joseki{"joseki", {}};
  if (varnoket::ReadCorpusFile("annotated/Kogo's Joseki Dictionary.sgf", &joseki.bytes)) {
    inputs.push_back(std::move(joseki));
  } else {
    std::fprintf(stderr, "core_bench: shared corpus absent; joseki benchmarks skipped\n");
  }
  inputs.push_back(varnoket::Input{"million_moves", varnoket::MillionMoveGame()});
  for (const varnoket::Input& input : inputs) varnoket::Register(input);

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
