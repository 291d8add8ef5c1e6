// SPDX-License-Identifier: MIT
#include "sgf/game_splitter.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "sgf/sgf_parser.h"
#include "sgf/sgf_text.h"

namespace varnoket {
namespace {

constexpr std::size_t kNoCut = static_cast<std::size_t>(-1);
// Bytes before the first game, and after a game that closed, kept with it
// (they may decide how it is read); more are passed over.
constexpr std::size_t kMaxLooseBytes = 1 << 20;
// The longest tree taken for games nested under a common root (see
// GameSplitter); a longer one, like one that never closes, is a first node
// that never closed followed by games of their own.
constexpr std::size_t kMaxCommonRootBytes = 32 << 20;
// Bytes of a value looked at again when scanning goes on inside it: more than
// the longest character and its escape.
constexpr std::size_t kValueOverlap = 8;
// Bytes after a character that must be there before it is taken as measured:
// the longest escape sequence (ESC $ ( D).
constexpr std::size_t kCharacterLookahead = 4;

// The bytes a tree's scan steps over one by one: all but the punctuation it
// looks at, and, where characters may span bytes, those that may lead one.
constexpr std::array<bool, 256> PlainBytes(bool multiByte) {
  std::array<bool, 256> plain{};
  for (std::size_t c = 0; c < plain.size(); ++c) {
    plain[c] = c != '[' && c != ';' && c != '(' && c != ')' &&
               (!multiByte || (c < 0x80 && c != 0x1B));  // ESC: ISO-2022-JP
  }
  return plain;
}
constexpr std::array<bool, 256> kPlainSingle = PlainBytes(false);
constexpr std::array<bool, 256> kPlainMultiByte = PlainBytes(true);

bool IsSpace(char c) { return grammar::InClass(c, grammar::kWhitespace); }

// Whether every grouping steps over "text" alike: it holds no byte that may
// lead a multi-byte character or an escape sequence.
bool AlikeInEveryGrouping(std::string_view text) {
  unsigned char high = 0;
  for (const char c : text) high |= static_cast<unsigned char>(c);
  return (high & 0x80) == 0 && text.find(static_cast<char>(kEscape)) == std::string_view::npos;
}
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLetter(char c) { return grammar::InClass(c, grammar::kLetter | grammar::kLowerLetter); }
// The letters and white space of an identifier looked at, when mending, after
// a "(" without ";".
constexpr std::size_t kMaxIdentifier = 64;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

}  // namespace

GameSplitter::GameSplitter(const AssumedCharset* assumed, unsigned systemCodePage,
                           std::size_t maxGameBytes)
    : assumed_(assumed), systemCodePage_(systemCodePage), maxGameBytes_(maxGameBytes) {}

void GameSplitter::Append(std::string_view block) {
  // Bytes before the game being cut (or the place scanning reached, between
  // games) are given up once they make half the buffer, so that each byte is
  // moved a bounded number of times.
  const std::size_t keep = chunkStart_;
  if (keep > 0 && keep >= buffer_.size() / 2) {
    buffer_.erase(0, keep);
    base_ += keep;
    chunkStart_ -= keep;
    treeStart_ = treeStart_ >= keep ? treeStart_ - keep : 0;
    if (rootCut_ != kNoCut) rootCut_ -= keep;
    scan_ -= keep;
  }
  // Room grows twice over, but not past the end of a stream of known size.
  const std::size_t needed = buffer_.size() + block.size();
  const std::uint64_t fed = base_ + needed;
  if (needed > buffer_.capacity() && streamBytes_ >= fed && streamBytes_ != 0) {
    const std::uint64_t room = std::max<std::uint64_t>(2 * buffer_.capacity(), needed);
    // A string grown in place takes at least twice its room; a new one takes
    // what it is given.
    std::string larger;
    larger.reserve(static_cast<std::size_t>(std::min(room, needed + (streamBytes_ - fed))));
    larger.append(buffer_);
    buffer_.swap(larger);
  }
  buffer_.append(block);
}

void GameSplitter::Finish() { finished_ = true; }

GameSplitter::Scan GameSplitter::LookAtOpening(std::size_t p, bool* opens, bool* newGame) const {
  *opens = false;
  *newGame = false;
  const std::size_t end = buffer_.size();
  std::size_t q = p + 1;
  while (q < end && IsSpace(buffer_[q])) ++q;
  if (q == end) return finished_ ? Scan::Complete : Scan::NeedMore;
  // Without its ";", when mending, a node begins with a property's letters.
  const bool node = buffer_[q] == ';';
  if (!node && !(mendNodes_ && IsLetter(buffer_[q]))) return Scan::Complete;
  if (node) {
    ++q;
    while (q < end && IsSpace(buffer_[q])) ++q;
  }
  const std::size_t letters = q;
  while (q < end && q - letters < 3 && IsUpper(buffer_[q])) ++q;
  const std::string_view identifier(buffer_.data() + letters, q - letters);
  if (!node) {
    while (q < end && q - letters < kMaxIdentifier && (IsLetter(buffer_[q]) || IsSpace(buffer_[q])))
      ++q;
  }
  while (q < end && IsSpace(buffer_[q])) ++q;
  if (q == end) return finished_ ? Scan::Complete : Scan::NeedMore;
  *opens = node || buffer_[q] == '[';
  *newGame = buffer_[q] == '[' && (identifier == "GM" || identifier == "FF");
  return Scan::Complete;
}

GameSplitter::Scan GameSplitter::LookAtStart(std::size_t* tree) const {
  *tree = kNoCut;
  // Only the stream's own start counts, and only near it.
  if (base_ != 0 || chunkStart_ != 0) return Scan::Complete;
  const std::string_view text(buffer_);
  if (!finished_ && text.size() < kUtf8Mark.size() && kUtf8Mark.starts_with(text)) {
    return Scan::NeedMore;
  }
  std::size_t p = text.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
  while (p < text.size() && p < kMaxLooseBytes && IsSpace(text[p])) ++p;
  if (p == text.size() && !finished_) return Scan::NeedMore;
  if (p < text.size() && text[p] == ';') *tree = p;
  return Scan::Complete;
}

GameSplitter::Scan GameSplitter::ScanOutside(std::size_t* tree) {
  const std::size_t end = buffer_.size();
  while (scan_ < end) {
    const void* found = std::memchr(buffer_.data() + scan_, '(', end - scan_);
    if (found == nullptr) {
      scan_ = end;
      break;
    }
    const auto p = static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data());
    bool opens = false;
    bool newGame = false;
    if (LookAtOpening(p, &opens, &newGame) == Scan::NeedMore) {
      scan_ = p;
      return Scan::NeedMore;
    }
    if (opens) {
      *tree = p;
      return Scan::Complete;
    }
    scan_ = p + 1;
  }
  return Scan::NeedMore;
}

const char* GameSplitter::FirstNodeEnd(ByteGrouping grouping) const {
  const char* const end = buffer_.data() + buffer_.size();
  const char* p = buffer_.data() + treeStart_;
  if (*p == '(') {
    ++p;
    while (p != end && IsSpace(*p)) ++p;
  }
  if (p != end) ++p;  // the ";"
  while (p != end && *p != ';' && *p != '(' && *p != ')') {
    if (*p != '[') {
      ++p;
      continue;
    }
    const grammar::ValueEnd<char> value = grammar::FindValueEnd(grouping, p + 1, end);
    if (value.close == nullptr) return nullptr;
    p = value.close + 1;
  }
  return p == end ? nullptr : p;
}

GameSplitter::Scan GameSplitter::ChooseGrouping() {
  // A first guess, made by the rule that reads a whole game, on the first
  // node closed as a game of its own; EndChunk checks it on the whole game.
  // The node's end is found byte by byte and, where the game may be in a
  // charset of two-byte characters (the assumed one, or the system code
  // page's), in that one too, so that neither a trail byte "]" nor "\\"
  // makes the node run on.
  const CharsetName* system = CodePageCharset(systemCodePage_);
  const ByteGrouping likely = assumed_ != nullptr ? assumed_->grouping
                              : system != nullptr ? system->grouping
                                                  : ByteGrouping::Single;
  const char* const single = FirstNodeEnd(ByteGrouping::Single);
  const char* const start = buffer_.data() + treeStart_;
  if (single != nullptr) {
    // A first node of plain ASCII that names no charset ends in the same
    // place in every grouping and decides nothing: the game is read in the
    // assumed charset, or byte by byte.
    const std::string_view node(start, static_cast<std::size_t>(single - start));
    if (AlikeInEveryGrouping(node) && node.find("CA") == std::string_view::npos) {
      grouping_ = assumed_ != nullptr ? assumed_->grouping : ByteGrouping::Single;
      groupingChosen_ = true;
      return Scan::Complete;
    }
  }
  const char* const other = likely != ByteGrouping::Single ? FirstNodeEnd(likely) : nullptr;
  if (!finished_ && single == nullptr && (likely == ByteGrouping::Single || other == nullptr)) {
    return Scan::NeedMore;
  }
  const auto closed = [start](const char* nodeEnd) {
    std::string node(start, static_cast<std::size_t>(nodeEnd - start));
    node += ')';
    return node;
  };
  std::string firstNode;
  grouping_ = ByteGrouping::Single;
  if (other != nullptr) {
    firstNode = closed(other);
    grouping_ = grammar::ChooseReading(firstNode, assumed_, systemCodePage_).encoding.grouping;
  }
  if (grouping_ != likely || other == nullptr) {
    firstNode = closed(single != nullptr ? single : buffer_.data() + buffer_.size());
    grouping_ = grammar::ChooseReading(firstNode, assumed_, systemCodePage_).encoding.grouping;
  }
  // A game that names no charset under an assumed one is most likely in it,
  // whatever bytes its first node happens to hold.
  if (grouping_ == ByteGrouping::Single && assumed_ != nullptr &&
      charset_detail::Trimmed(std::string_view(grammar::DeclaredCharset(firstNode))).empty()) {
    grouping_ = assumed_->grouping;
  }
  groupingChosen_ = true;
  return Scan::Complete;
}

GameSplitter::Scan GameSplitter::ScanTree(std::size_t* cut) {
  *cut = kNoCut;
  const char* const data = buffer_.data();
  const std::size_t end = buffer_.size();
  const std::array<bool, 256>& plain =
      grouping_ == ByteGrouping::Single ? kPlainSingle : kPlainMultiByte;
  std::size_t p = scan_;
  while (p < end) {
    if (!inValue_ && plain[static_cast<unsigned char>(data[p])]) {
      ++p;
      continue;
    }
    if (inValue_ || data[p] == '[') {
      // A value is found whole; only while a game is passed over is it
      // scanned on from where the bytes ran out, the few bytes before that
      // looked at again.
      const std::size_t from = inValue_ ? p : p + 1;
      const grammar::ValueEnd<char> value =
          grammar::FindValueEnd(grouping_, data + from, data + end);
      if (value.close == nullptr) {
        if (finished_) {
          scan_ = end;
          return Scan::NeedMore;
        }
        if (skipping_) {
          inValue_ = true;
          scan_ = std::max(from, end > kValueOverlap ? end - kValueOverlap : 0);
        } else {
          scan_ = p;
        }
        return Scan::NeedMore;
      }
      inValue_ = false;
      p = static_cast<std::size_t>(value.close - data) + 1;
      continue;
    }
    switch (data[p]) {
      case ';':
        if (depth_ == 1 && nodes_ < 2) ++nodes_;
        ++p;
        // The usual node, a move of two letters (";B[pd]"), is stepped over
        // at once: it holds nothing but plain text in any grouping.
        if (end - p >= 5 && IsUpper(data[p]) && data[p + 1] == '[' &&
            grammar::IsTwoLetterValue(data + p + 2, data + end)) {
          p += 5;
        }
        break;
      case '(': {
        bool opens = false;
        bool newGame = false;
        if (LookAtOpening(p, &opens, &newGame) == Scan::NeedMore) {
          scan_ = p;
          return Scan::NeedMore;
        }
        if (newGame && nodes_ > 1) {
          *cut = p;
          scan_ = p;
          return Scan::Complete;
        }
        // After the first node alone it may be a game under a common root:
        // the tree's end decides.
        if (newGame && depth_ == 1 && rootCut_ == kNoCut) rootCut_ = p;
        ++depth_;
        ++p;
        break;
      }
      case ')':
        ++p;
        if (--depth_ == 0) {
          inTree_ = false;
          scan_ = p;
          return Scan::Complete;
        }
        break;
      default: {
        // A character measured too near the end may be longer once more
        // bytes come (an ISO-2022-JP escape cut after its ESC).
        const Character character = MeasureCharacter(grouping_, data + p, data + end);
        if (!finished_ &&
            (character.runCutShort || p + character.length + kCharacterLookahead > end)) {
          scan_ = p;
          return Scan::NeedMore;
        }
        p += character.length;
        break;
      }
    }
  }
  scan_ = end;
  return Scan::NeedMore;
}

void GameSplitter::StartTree(std::size_t at) {
  if (!inChunk_) {
    // The first game keeps the bytes before it; a later one starts at its "(".
    if (gamesFound_ != 0) chunkStart_ = at;
    chunkOffset_ = base_ + chunkStart_;
    inChunk_ = true;
    skipping_ = false;
  }
  ++gamesFound_;
  treeStart_ = at;
  treeOffset_ = base_ + at;
  scan_ = at + 1;
  inTree_ = true;
  depth_ = 1;
  nodes_ = 0;
  rootCut_ = kNoCut;
  inValue_ = false;
  groupingChosen_ = false;
  groupingChecked_ = false;
}

bool GameSplitter::EndChunk(std::size_t end, SplitGame* game) {
  *game = SplitGame();
  game->number = ++gamesGiven_;
  game->offset = chunkOffset_;
  game->treeOffset = treeOffset_;
  if (skipping_) {
    game->tooLarge = true;
  } else {
    game->text = std::string_view(buffer_.data() + chunkStart_, end - chunkStart_);
    // The cleaner reads the game as a whole; were its grouping another, the
    // tree would end elsewhere: it is scanned once more in that grouping.
    // (Plain ASCII ends in the same place in every grouping.)
    const ByteGrouping grouping =
        AlikeInEveryGrouping(game->text)
            ? grouping_
            : grammar::ChooseReading(game->text, assumed_, systemCodePage_).encoding.grouping;
    if (grouping != grouping_ && !groupingChecked_) {
      --gamesGiven_;
      grouping_ = grouping;
      groupingChecked_ = true;
      inTree_ = true;
      depth_ = 1;
      nodes_ = 0;
      rootCut_ = kNoCut;
      scan_ = treeStart_ + 1;
      return false;
    }
  }
  inChunk_ = false;
  skipping_ = false;
  chunkStart_ = end;
  return true;
}

bool GameSplitter::WholeStreamGame(SplitGame* game) {
  // A game ends at a "(" of another and nowhere else, and the first game
  // keeps the bytes before it: a stream with no "(" but the first game's is
  // that game whole, whatever its grouping and wherever its tree ends.
  const std::string_view text(buffer_);
  const std::size_t open = text.find('(');
  if (open != std::string_view::npos && text.find('(', open + 1) != std::string_view::npos) {
    return false;
  }
  std::size_t tree = kNoCut;
  if (LookAtStart(&tree) != Scan::Complete) return false;
  if (tree != kNoCut) {
    // A text begun with ";" holds a "(" only inside it, which may be a game.
    if (open != std::string_view::npos) return false;
  } else {
    bool opens = false;
    bool newGame = false;
    if (open == std::string_view::npos || LookAtOpening(open, &opens, &newGame) != Scan::Complete ||
        !opens) {
      return false;
    }
    tree = open;
  }
  startSeen_ = true;
  gamesFound_ = 1;
  gamesGiven_ = 1;
  chunkStart_ = scan_ = text.size();
  *game = SplitGame();
  game->text = text;
  game->number = 1;
  game->treeOffset = tree;
  return true;
}

bool GameSplitter::Next(SplitGame* game) {
  // A short stream read whole is looked at once it has ended; until then it
  // is only held, when its end is expected with the bytes in hand.
  if (!startSeen_ && base_ == 0 && !buffer_.empty() && buffer_.size() <= kMaxLooseBytes &&
      buffer_.size() <= maxGameBytes_) {
    if (finished_) {
      if (WholeStreamGame(game)) return true;
    } else if (streamBytes_ == buffer_.size()) {
      return false;
    }
  }
  for (;;) {
    if (inTree_) {
      Scan scan = Scan::Complete;
      std::size_t cut = kNoCut;
      if (!groupingChosen_) scan = ChooseGrouping();
      if (scan == Scan::Complete) scan = ScanTree(&cut);
      if (scan == Scan::Complete) {
        if (cut == kNoCut) continue;  // closed: scanning goes on outside
        if (!EndChunk(cut, game)) continue;
        StartTree(cut);
        return true;
      }
      if (rootCut_ != kNoCut && !skipping_ &&
          (finished_ || buffer_.size() - rootCut_ > kMaxCommonRootBytes)) {
        // No common root: the first node never closed, and the game after
        // it begins a game of its own.
        const std::size_t at = rootCut_;
        if (!EndChunk(at, game)) continue;
        StartTree(at);
        return true;
      }
      if (finished_) {
        // The text ended inside the tree.
        inTree_ = false;
        scan_ = buffer_.size();
        if (!EndChunk(buffer_.size(), game)) continue;
        return true;
      }
      if (!skipping_ && buffer_.size() - chunkStart_ > maxGameBytes_) {
        skipping_ = true;
        groupingChosen_ = true;
        rootCut_ = kNoCut;
      }
      if (skipping_) chunkStart_ = scan_;
      return false;
    }
    std::size_t tree = 0;
    if (!startSeen_) {
      if (LookAtStart(&tree) == Scan::NeedMore) return false;
      startSeen_ = true;
      if (tree != kNoCut) {
        StartTree(tree);
        nodes_ = 1;  // the ";" is its first node's
        continue;
      }
    }
    if (ScanOutside(&tree) == Scan::Complete) {
      if (inChunk_) {
        if (!EndChunk(tree, game)) continue;
        StartTree(tree);
        return true;
      }
      StartTree(tree);
      continue;
    }
    if (finished_) {
      if (!inChunk_) return false;
      if (EndChunk(buffer_.size(), game)) return true;
      continue;
    }
    if (inChunk_ && !skipping_ && scan_ - chunkStart_ > maxGameBytes_) {
      // Bytes after a game that make it too long are let go with it.
      if (EndChunk(scan_, game)) return true;
      continue;
    }
    // Bytes between games that can decide nothing are let go.
    if (!inChunk_ && (gamesFound_ != 0 || scan_ - chunkStart_ > kMaxLooseBytes)) {
      chunkStart_ = scan_;
    }
    return false;
  }
}

}  // namespace varnoket
