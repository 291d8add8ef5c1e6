// SPDX-License-Identifier: MIT
#include "batch/collection.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/text_codec.h"
#include "sgf/game_splitter.h"
#include "sgf/utf16_stream.h"
#include "sgf/utf8.h"

namespace varnoket {
namespace {

// The block read at a time.
constexpr std::size_t kBlockSize = 1 << 20;
// The longest game that is cleaned: what the cleaner takes, and in a 32-bit
// process what its address space is sure to hold beside the rest, so that a
// longer game is passed over (and reported) before memory runs out.
constexpr std::size_t kMaxGameBytes =
    sizeof(void*) >= 8 ? kMaxConvertibleLength : std::size_t{256} << 20;
// Games handed to the workers together, up to this many bytes of text.
constexpr std::size_t kBatchBytes = 256 << 10;
// Text in the workers' hands (or cleaned and waiting for its turn) beyond
// which the reader waits: with the blocks and the game being cut, the memory
// of a run over one source stays under 64 MiB plus its largest game.
constexpr std::size_t kMaxBytesInFlight = 32 << 20;

// One game's place in its source and what cleaning it gave.
struct GameOutcome {
  std::uint64_t number = 0;
  std::uint64_t treeOffset = 0;
  BatchCleaning clean;
};

// Cleans one game into "*cleaned", a string or the parts of one (see
// CleanInBatch).
template <typename Cleaned>
BatchCleaning CleanGame(const SplitGame& game, std::string_view text,
                        const CollectionOptions& options, Cleaned cleaned) {
  if (game.tooLarge) {
    BatchCleaning result;
    result.reason = FailureReason::OutOfMemory;
    return result;
  }
  return CleanInBatch(text, cleaned, options.assumed, options.recover);
}

// Adds what was mended in one more game to what was mended in the others.
void AddRepairs(const Repairs& game, Repairs* all) {
  all->lowerCaseNames |= game.lowerCaseNames;
  all->strayBytes |= game.strayBytes;
  all->missingNodes |= game.missingNodes;
  if (game.cutShort) {
    all->cutShort = true;
    all->movesKept = game.movesKept;
  }
}

// Hands each cleaned game of a source on as its mode says, in order.
class GameSink {
 public:
  GameSink(GameMode mode, CollectionOutput& output, CollectionResult* result)
      : mode_(mode), output_(output), result_(result) {}

  // Whether a game found now must be cleaned at all.
  bool Wants() const { return mode_ != GameMode::FirstGame || result_->kept == 0; }

  // Whether a game cleaned may be handed on at once, from any thread, before
  // the games in front of it: a numbered game of a collection under Split.
  bool MayHandOnAtOnce(const GameOutcome& game) const {
    return mode_ == GameMode::Split && game.clean.ok && game.number > 1;
  }

  // Hands on a game for which MayHandOnAtOnce holds; calls may overlap.
  void HandOnAtOnce(const GameOutcome& game, std::string* cleaned) {
    output_.Numbered(game.number, cleaned);
  }

  // Whether a game's cleaned bytes go to the source's own file as they are
  // written (Part), before Take: under FirstGame and AllGames.
  bool TakesParts() const { return mode_ != GameMode::Split; }

  // The next part of the game being cleaned, when TakesParts.
  void Part(std::string_view bytes) {
    if (!partTaken_ && mode_ == GameMode::AllGames && result_->kept > 0) output_.Own("\r\n");
    partTaken_ = true;
    output_.Own(bytes);
  }

  // Takes the next game in order; "handedOn": HandOnAtOnce or Part took it
  // already.
  void Take(const GameOutcome& game, std::string* cleaned, bool handedOn = false) {
    if (game.clean.detection.tried && !result_->detection.tried) {
      result_->detection = game.clean.detection;
    }
    if (!game.clean.ok) {
      // A game that failed after parts of it were taken spoils the output.
      spoiled_ = spoiled_ || partTaken_;
      partTaken_ = false;
      lastReason_ = game.clean.reason;
      if (mode_ != GameMode::FirstGame) {
        result_->brokenGames.push_back(
            GameFailure{game.number, game.treeOffset, game.clean.reason});
      }
      return;
    }
    if (!handedOn && TakesParts()) Part(*cleaned);
    partTaken_ = false;
    ++result_->kept;
    AddRepairs(game.clean.repairs, &result_->repairs);
    if (handedOn || mode_ != GameMode::Split) return;
    // The first game is named by its number once another game shows the
    // source to be a collection; the others are numbered at once.
    if (game.number == 1) {
      holding_ = true;
      held_ = std::move(*cleaned);
    } else {
      HandOnAtOnce(game, cleaned);
    }
  }

  // "games" have been found so far: the first game, when held, is known to
  // be part of a collection once there are two.
  void Found(std::uint64_t games) {
    if (!holding_ || games < 2) return;
    holding_ = false;
    output_.Numbered(1, &held_);
    held_ = std::string();
  }

  // The source has ended with "games" games: hands on what is left.
  void Finish(std::uint64_t games) {
    result_->games = games;
    result_->ok = result_->kept != 0 && !spoiled_;
    if (spoiled_) result_->reason = FailureReason::OutOfMemory;
    if (!result_->ok && !spoiled_) result_->reason = lastReason_;
    if (holding_ && games == 1) {
      holding_ = false;
      output_.Own(held_);
    }
    Found(games);
  }

 private:
  GameMode mode_;
  CollectionOutput& output_;
  CollectionResult* result_;
  FailureReason lastReason_ = FailureReason::NoGameFound;
  bool holding_ = false;
  std::string held_;
  bool partTaken_ = false;  // a part of the game being cleaned was taken
  bool spoiled_ = false;
};

// Games cleaned on worker threads a batch at a time, handed back to the
// calling thread in order. The caller waits once too much is in flight, so
// memory stays bounded however fast it reads.
class GamePool {
 public:
  // "budget" (may be null) as CollectionOptions::threadBudget.
  GamePool(unsigned workers, std::atomic<unsigned>* budget, const CollectionOptions& options,
           GameSink& sink)
      : options_(options),
        sink_(sink),
        workers_(workers),
        budget_(budget),
        limit_(2 * static_cast<std::size_t>(workers)) {}

  ~GamePool() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
    }
    workCv_.notify_all();
    for (std::thread& thread : threads_) thread.join();
    if (budget_ != nullptr) budget_->fetch_add(taken_);
  }

  GamePool(const GamePool&) = delete;
  GamePool& operator=(const GamePool&) = delete;

  // Adds one game (its text is copied).
  void Add(const SplitGame& game) {
    if (!batch_) batch_ = std::make_unique<Batch>();
    Item item;
    item.game = game;
    item.game.text = {};
    item.begin = batch_->text.size();
    batch_->text.append(game.text);
    item.size = game.text.size();
    batch_->items.push_back(std::move(item));
    if (batch_->text.size() >= kBatchBytes) Submit(/*full=*/true);
  }

  // Hands every game added on to the sink, in order.
  void Drain() {
    Submit();
    std::unique_lock<std::mutex> lock(mutex_);
    while (nextDrain_ < nextSubmit_) DeliverNext(lock);
  }

 private:
  struct Item {
    SplitGame game;
    std::size_t begin = 0;
    std::size_t size = 0;
    BatchCleaning clean;
    std::string cleaned;
    bool handedOn = false;
  };
  struct Batch {
    std::uint64_t sequence = 0;
    std::string text;
    std::vector<Item> items;
  };

  // Starts the threads, as many as asked and the budget allows.
  void Start() {
    started_ = true;
    unsigned wanted = workers_;
    if (budget_ != nullptr) {
      unsigned left = budget_->load();
      do {
        wanted = std::min(workers_, left);
      } while (!budget_->compare_exchange_weak(left, left - wanted));
      taken_ = wanted;
    }
    for (unsigned i = 0; i < wanted; ++i) {
      try {
        threads_.emplace_back([this] { Work(); });
      } catch (const std::system_error&) {
        break;  // fewer threads than asked still clean every game
      }
    }
  }

  // "full": the batch has reached its size, so the source holds more than
  // one batch of games.
  void Submit(bool full = false) {
    if (!batch_) return;
    if (full && !started_) Start();
    std::unique_ptr<Batch> batch = std::move(batch_);
    if (threads_.empty()) {
      Clean(*batch);
      Deliver(*batch);
      return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    batch->sequence = nextSubmit_++;
    bytesInFlight_ += batch->text.size();
    todo_.push_back(std::move(batch));
    workCv_.notify_one();
    while (nextSubmit_ - nextDrain_ >= limit_ ||
           (bytesInFlight_ > kMaxBytesInFlight && nextSubmit_ - nextDrain_ > 1)) {
      DeliverNext(lock);
    }
  }

  // Waits for the next batch in order and hands it on, unlocked meanwhile.
  void DeliverNext(std::unique_lock<std::mutex>& lock) {
    doneCv_.wait(lock, [this] { return done_.count(nextDrain_) != 0; });
    const auto found = done_.find(nextDrain_);
    std::unique_ptr<Batch> batch = std::move(found->second);
    done_.erase(found);
    ++nextDrain_;
    bytesInFlight_ -= batch->text.size();
    lock.unlock();
    Deliver(*batch);
    lock.lock();
  }

  void Deliver(Batch& batch) {
    for (Item& item : batch.items) {
      sink_.Found(item.game.number);
      sink_.Take(GameOutcome{item.game.number, item.game.treeOffset, item.clean}, &item.cleaned,
                 item.handedOn);
    }
  }

  // Cleans a batch, and hands on at once what may be.
  void Clean(Batch& batch) {
    for (Item& item : batch.items) {
      const std::string_view text(batch.text.data() + item.begin, item.size);
      item.cleaned.clear();
      item.clean = CleanGame(item.game, text, options_, &item.cleaned);
      const GameOutcome outcome{item.game.number, item.game.treeOffset, item.clean};
      if (sink_.MayHandOnAtOnce(outcome)) {
        sink_.HandOnAtOnce(outcome, &item.cleaned);
        item.handedOn = true;
        item.cleaned = std::string();
      }
    }
  }

  void Work() {
    for (;;) {
      std::unique_ptr<Batch> batch;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        workCv_.wait(lock, [this] { return closed_ || !todo_.empty(); });
        if (todo_.empty()) return;
        batch = std::move(todo_.front());
        todo_.erase(todo_.begin());
      }
      Clean(*batch);
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        const std::uint64_t sequence = batch->sequence;
        done_.emplace(sequence, std::move(batch));
      }
      doneCv_.notify_all();
    }
  }

  const CollectionOptions& options_;
  GameSink& sink_;
  const unsigned workers_;
  std::atomic<unsigned>* const budget_;
  unsigned taken_ = 0;  // from budget_
  bool started_ = false;
  const std::size_t limit_;  // batches in flight
  std::unique_ptr<Batch> batch_;
  std::vector<std::thread> threads_;

  std::mutex mutex_;
  std::condition_variable workCv_;
  std::condition_variable doneCv_;
  std::vector<std::unique_ptr<Batch>> todo_;
  std::map<std::uint64_t, std::unique_ptr<Batch>> done_;
  std::uint64_t nextSubmit_ = 0;
  std::uint64_t nextDrain_ = 0;
  std::size_t bytesInFlight_ = 0;
  bool closed_ = false;
};

// Reads and cuts "source", handing each game to "take".
template <typename Take>
bool ReadGames(platform::ByteSource& source, const CollectionOptions& options,
               GameSplitter* splitter, CollectionResult* result, Take take) {
  // One block buffer per thread, for every source it reads.
  thread_local const std::unique_ptr<char[]> block(new char[kBlockSize]);
  Utf16Stream text(options.recover);
  SplitGame game;
  for (;;) {
    // A game cut short by a stop is no broken game: it was not read.
    if (options.stop != nullptr && options.stop->load()) {
      result->interrupted = true;
      return true;
    }
    std::size_t got = 0;
    const platform::IoStatus read = source.Read(block.get(), kBlockSize, &got);
    if (!read.ok()) {
      result->reason = FailureReason::CannotRead;
      result->systemMessage = read.message();
      return false;
    }
    if (got == 0) break;
    result->bytesRead += got;
    splitter->Append(text.Feed(std::string_view(block.get(), got)));
    while (splitter->Next(&game)) take(game);
    if (options.onProgress) {
      options.onProgress(CollectionProgress{result->bytesRead, splitter->gamesFound()});
    }
  }
  splitter->Append(text.Finish());
  result->repairs.utf16 = text.guessed();
  splitter->Finish();
  while (splitter->Next(&game)) take(game);
  return true;
}

}  // namespace

CollectionResult CleanCollection(platform::ByteSource& source, const CollectionOptions& options,
                                 CollectionOutput& output) {
  CollectionResult result;
  try {
    GameSplitter splitter(options.assumed, platform::SystemCodePage(), kMaxGameBytes);
    if (options.recover) splitter.MendMissingNodes();
    splitter.ExpectSize(options.sourceSize);
    GameSink sink(options.mode, output, &result);
    bool read = false;
    if (options.workers > 1 && options.mode != GameMode::FirstGame) {
      GamePool pool(options.workers, options.threadBudget, options, sink);
      read = ReadGames(source, options, &splitter, &result,
                       [&](const SplitGame& game) { pool.Add(game); });
      if (read) pool.Drain();
    } else {
      // A game of the source's own file goes on as it is written, so that
      // its cleaned form is never held whole beside its text.
      std::string cleaned;
      const std::function<void(std::string_view)> part = [&sink](std::string_view bytes) {
        sink.Part(bytes);
      };
      read = ReadGames(source, options, &splitter, &result, [&](const SplitGame& game) {
        sink.Found(game.number);
        if (!sink.Wants()) return;  // only counted
        cleaned.clear();
        const BatchCleaning clean = sink.TakesParts()
                                        ? CleanGame(game, game.text, options, part)
                                        : CleanGame(game, game.text, options, &cleaned);
        sink.Take(GameOutcome{game.number, game.treeOffset, clean}, &cleaned, sink.TakesParts());
      });
    }
    if (read) {
      sink.Finish(splitter.gamesFound());
    } else {
      result.ok = false;
      result.detection = CharsetDetection();
    }
  } catch (const std::bad_alloc&) {
    result.ok = false;
    result.reason = FailureReason::OutOfMemory;
  } catch (const std::length_error&) {
    result.ok = false;
    result.reason = FailureReason::OutOfMemory;
  }
  if (!result.ok) result.brokenGames.clear();
  return result;
}

std::filesystem::path SplitName(const std::filesystem::path& name, std::uint64_t number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  std::filesystem::path file = name.stem();
  file += "-" + digits;
  file += name.extension();
  return name.parent_path() / file;
}

void GrowingOutput::Add(std::string_view bytes) {
  size_ += bytes.size();
  if (!status_.ok()) return;
  if (!spilled_ && held_.size() + bytes.size() < kHeldOutputBytes) {
    held_.append(bytes);
    return;
  }
  // A large part goes on as it is, after what is held, never copied whole.
  if (!spilled_) {
    spilled_ = true;
    if (!held_.empty()) status_ = spill_(held_);
    held_ = std::string();
    if (!status_.ok()) return;
  }
  status_ = spill_(bytes);
}

StreamedFile::StreamedFile(platform::FileSystem& files, std::filesystem::path target,
                           const platform::StageOptions& options)
    : files_(files), target_(std::move(target)), options_(options) {}

platform::IoStatus StreamedFile::Add(std::string_view bytes) {
  if (staged_) return files_.Append(&file_, bytes);
  staged_ = true;
  if (!folder_) {
    folder_.emplace();
    const platform::IoStatus opened =
        files_.OpenFolder(target_.has_parent_path() ? target_.parent_path() : ".", &*folder_);
    if (!opened.ok()) return opened;
  }
  return files_.Stage(*folder_, target_.filename(), bytes, options_, &file_);
}

platform::IoStatus StreamedFile::Commit() {
  platform::IoStatus status;
  if (file_.replaces()) status = files_.Flush({&file_});
  if (status.ok()) status = files_.Commit(&file_);
  return status;
}

}  // namespace varnoket
