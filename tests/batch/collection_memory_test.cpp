// SPDX-License-Identifier: MIT
// A collection far larger than the memory the test allows, served in small
// blocks through the byte-source seam, is cleaned game by game: the memory
// in use never grows with the source. Every allocation of this program is
// counted, so this suite runs alone in its own executable.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "batch/collection.h"
#include "platform/byte_source.h"

namespace {

std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};

// Each block carries its size in front of it.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  const std::size_t live = liveBytes.fetch_add(size) + size;
  std::size_t peak = peakBytes.load();
  while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) {
  }
  return static_cast<char*>(block) + kHeader;
}

void Free(void* pointer) {
  if (pointer == nullptr) return;
  void* block = static_cast<char*>(pointer) - kHeader;
  liveBytes.fetch_sub(*static_cast<std::size_t*>(block));
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* pointer) noexcept { Free(pointer); }
void operator delete[](void* pointer) noexcept { Free(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { Free(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { Free(pointer); }

namespace varnoket {
namespace {

// "games" games of about 4 KB (a long comment and a few moves), made up as
// they are read, a few kilobytes per read; the one in the middle never
// closes.
class MadeUpCollection : public platform::ByteSource {
 public:
  explicit MadeUpCollection(std::uint64_t games) : games_(games) {}

  platform::IoStatus Read(char* buffer, std::size_t capacity, std::size_t* got) override {
    while (pending_.size() < 4096 && made_ < games_) {
      ++made_;
      pending_ += "(;GM[1]FF[4]SZ[19]PB[Player " + std::to_string(made_) + "]C[";
      pending_.append(4000, 'x');
      pending_ += "]";
      for (int move = 0; move < 20; ++move) pending_ += move % 2 == 0 ? ";B[pd]" : ";W[dp]";
      pending_ += made_ == games_ / 2 ? "\n" : ")\n";
    }
    *got = std::min({capacity, std::size_t{4096}, pending_.size()});
    pending_.copy(buffer, *got);
    pending_.erase(0, *got);
    bytes += *got;
    return platform::IoStatus::Ok();
  }

  std::uint64_t bytes = 0;

 private:
  std::uint64_t games_;
  std::uint64_t made_ = 0;
  std::string pending_;
};

// Keeps the size of what it is given, and the peak of memory in use then.
class CountingOutput : public CollectionOutput {
 public:
  void Own(std::string_view bytes) override { written += bytes.size(); }
  void Numbered(std::uint64_t, std::string* bytes) override { written += bytes->size(); }
  std::uint64_t written = 0;
};

TEST(CollectionMemoryTest, ASourceLargerThanTheLimitIsCleanedWithBoundedMemory) {
  constexpr std::size_t kLimit = 8 << 20;
  struct Case {
    GameMode mode;
    unsigned workers;
  };
  for (const Case& c :
       {Case{GameMode::AllGames, 2}, Case{GameMode::Split, 2}, Case{GameMode::FirstGame, 1}}) {
    SCOPED_TRACE("mode " + std::to_string(static_cast<int>(c.mode)) + ", " +
                 std::to_string(c.workers) + " workers");
    MadeUpCollection source(11000);  // 45 MB
    CountingOutput output;
    CollectionOptions options;
    options.mode = c.mode;
    options.workers = c.workers;
    const std::size_t before = liveBytes.load();
    peakBytes.store(before);

    const CollectionResult result = CleanCollection(source, options, output);

    EXPECT_GT(source.bytes, 5 * kLimit);
    EXPECT_EQ(result.games, 11000u);
    EXPECT_EQ(result.kept, c.mode == GameMode::FirstGame ? 1u : 10999u);
    EXPECT_GT(output.written, 0u);
    EXPECT_LT(peakBytes.load() - before, kLimit);
  }
}

}  // namespace
}  // namespace varnoket
