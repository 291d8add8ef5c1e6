// SPDX-License-Identifier: MIT
#include "batch/collection.h"

#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/text_codec.h"
#include "sgf/game_splitter.h"

namespace varnoket {
namespace {

// The block read at a time.
constexpr std::size_t kBlockSize = 1 << 20;
// The longest game that is cleaned; the cleaner takes no longer text.
constexpr std::size_t kMaxGameBytes = platform::kMaxConvertibleLength;

// Hands each game of a source to its mode's rule.
class GameSink {
 public:
  GameSink(GameMode mode, const AssumedCharset* assumed, const CollectionOutput& output,
           CollectionResult* result)
      : mode_(mode), assumed_(assumed), output_(output), result_(result) {}

  void Take(const SplitGame& game) {
    ++result_->games;
    if (mode_ == GameMode::FirstGame && result_->kept != 0) return;  // only counted
    CleanResult clean;
    if (game.tooLarge) {
      clean.reason = FailureReason::OutOfMemory;
    } else {
      cleaned_.clear();
      clean = CleanBytes(game.text, &cleaned_, assumed_);
    }
    if (!clean.ok) {
      lastReason_ = clean.reason;
      if (mode_ != GameMode::FirstGame) {
        result_->brokenGames.push_back(GameFailure{game.number, game.treeOffset, clean.reason});
      }
      return;
    }
    ++result_->kept;
    switch (mode_) {
      case GameMode::FirstGame:
        first_ = std::move(cleaned_);
        cleaned_ = std::string();
        break;
      case GameMode::AllGames:
        if (!collection_.empty()) collection_ += "\r\n";
        collection_ += cleaned_;
        break;
      case GameMode::Split:
        // A game is named by its number once another game shows the source
        // to be a collection.
        if (held_) {
          output_(held_->first, &held_->second);
          held_.reset();
        }
        if (result_->games == 1) {
          held_.emplace(game.number, std::move(cleaned_));
          cleaned_ = std::string();
        } else {
          output_(game.number, &cleaned_);
        }
        break;
    }
  }

  // The source has ended: hands on what is left.
  void Finish() {
    result_->ok = result_->kept != 0;
    if (!result_->ok) {
      result_->reason = lastReason_;
      return;
    }
    switch (mode_) {
      case GameMode::FirstGame:
        output_(0, &first_);
        break;
      case GameMode::AllGames:
        output_(0, &collection_);
        break;
      case GameMode::Split:
        if (held_) output_(result_->games == 1 ? 0 : held_->first, &held_->second);
        break;
    }
  }

 private:
  GameMode mode_;
  const AssumedCharset* assumed_;
  const CollectionOutput& output_;
  CollectionResult* result_;
  FailureReason lastReason_ = FailureReason::NoGameFound;
  std::string cleaned_;
  std::string first_;
  std::string collection_;
  std::optional<std::pair<std::uint64_t, std::string>> held_;
};

}  // namespace

CollectionResult CleanCollection(platform::ByteSource& source, GameMode mode,
                                 const AssumedCharset* assumed, const CollectionOutput& output) {
  CollectionResult result;
  try {
    GameSplitter splitter(assumed, kMaxGameBytes);
    GameSink sink(mode, assumed, output, &result);
    // One block buffer per thread, for every source it reads.
    thread_local const std::unique_ptr<char[]> block(new char[kBlockSize]);
    SplitGame game;
    for (;;) {
      std::size_t got = 0;
      const platform::IoStatus read = source.Read(block.get(), kBlockSize, &got);
      if (!read.ok()) {
        result = CollectionResult();
        result.reason = FailureReason::CannotRead;
        result.systemMessage = read.message();
        return result;
      }
      if (got == 0) break;
      result.bytesRead += got;
      splitter.Append(std::string_view(block.get(), got));
      while (splitter.Next(&game)) sink.Take(game);
    }
    splitter.Finish();
    while (splitter.Next(&game)) sink.Take(game);
    sink.Finish();
  } catch (const std::bad_alloc&) {
    const std::uint64_t bytesRead = result.bytesRead;
    result = CollectionResult();
    result.bytesRead = bytesRead;
    result.reason = FailureReason::OutOfMemory;
  } catch (const std::length_error&) {
    const std::uint64_t bytesRead = result.bytesRead;
    result = CollectionResult();
    result.bytesRead = bytesRead;
    result.reason = FailureReason::OutOfMemory;
  }
  return result;
}

std::filesystem::path SplitName(const std::filesystem::path& name, std::uint64_t number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  std::filesystem::path split = name.parent_path();
  std::filesystem::path file = name.stem();
  file += "-" + digits;
  file += name.extension();
  return split / file;
}

}  // namespace varnoket
