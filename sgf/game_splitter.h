// SPDX-License-Identifier: MIT
#ifndef VARNOKET_SGF_GAME_SPLITTER_H_
#define VARNOKET_SGF_GAME_SPLITTER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sgf/charset.h"

namespace varnoket {

// One game of a stream of SGF text, as GameSplitter cuts it.
struct SplitGame {
  // Its text, valid until the next call on the splitter: from its game tree's
  // "(" (for the first game, from the start of the stream) up to the next
  // game's "(" (for the last game, to the end of the stream). A stream that
  // holds one game is thus one text, byte for byte.
  std::string_view text;
  std::uint64_t number = 0;      // 1, 2, ...: its place in the stream
  std::uint64_t offset = 0;      // where "text" starts in the stream
  std::uint64_t treeOffset = 0;  // where its "(" stands in the stream
  // The game was longer than the splitter's limit: "text" is empty and the
  // game's bytes were passed over.
  bool tooLarge = false;
};

// Splits a stream of SGF text, fed block by block, into its games, holding
// no more than the game being cut (and a block). It only cuts: whether a
// game parses is for the cleaner to find.
//
// A game is a "(" followed, after white space, by ";" outside any other game
// tree; it ends with the ")" that closes it. Values are stepped over as the
// grammar steps over them, in the grouping of the charset the game's first
// node declares (or the assumed one), so a trail byte is never taken for
// punctuation. A game that never closes ends where a new game evidently
// begins: a "(" inside it, after more than its first node, followed by a node
// whose first property is GM or FF. After the first node alone such a "(" is
// a game nested under a common root, as some collections are written, when
// the tree closes within 32 MiB; when it does not, the first node is a game
// that never closed, and the game after it stands on its own. A
// stream whose text, after a byte-order mark and white space, begins with ";"
// begins with a game whose "(" was left out, as the grammar reads it.
//
// Nothing recurses; the work is linear in the stream's length.
class GameSplitter {
 public:
  // "assumed" (may be null) must outlive the splitter; "systemCodePage" is
  // as grammar::ChooseReading takes it. A game longer than
  // "maxGameBytes" is reported tooLarge and its bytes are passed over.
  GameSplitter(const AssumedCharset* assumed, unsigned systemCodePage, std::size_t maxGameBytes);

  // From now on a "(" followed by a property, not ";", also begins a game, as
  // the cleaner reads such a "(" when it mends damaged records.
  void MendMissingNodes() { mendNodes_ = true; }

  // The stream's whole size, when known: the game being cut is then never
  // given more room than the rest of the stream can fill.
  void ExpectSize(std::uint64_t streamBytes) { streamBytes_ = streamBytes; }

  // Adds the next bytes of the stream.
  void Append(std::string_view block);
  // The stream has ended.
  void Finish();

  // Sets "*game" to the next game whose text is complete and returns true,
  // or returns false when more bytes (or Finish) are needed or every game has
  // been given.
  bool Next(SplitGame* game);

  // Games begun so far.
  std::uint64_t gamesFound() const { return gamesFound_; }
  // Bytes held now: the game being cut and the block it ends in.
  std::size_t heldBytes() const { return buffer_.size(); }
  // Bytes fed so far.
  std::uint64_t bytesFed() const { return base_ + buffer_.size(); }

 private:
  enum class Scan { Complete, NeedMore };

  // Looks at the start of the stream: Complete with "*tree" at the ";" that
  // begins its text, or kNoTree.
  Scan LookAtStart(std::size_t* tree) const;
  // Scans on from scan_ outside any tree; Complete with "*tree" at the "("
  // of the next game.
  Scan ScanOutside(std::size_t* tree);
  // Scans on from scan_ inside the tree; Complete when it closed (inTree_
  // false) or when a new game begins at "*cut" (else npos).
  Scan ScanTree(std::size_t* cut);
  // Looks at the "(" at "p": sets "*opens" when a node follows it, and
  // "*newGame" when that node's first property is GM or FF.
  Scan LookAtOpening(std::size_t p, bool* opens, bool* newGame) const;
  // Where the tree's first node ends, its values stepped over in
  // "grouping"; null when the bytes end first.
  const char* FirstNodeEnd(ByteGrouping grouping) const;
  // Chooses grouping_ from the tree's first node.
  Scan ChooseGrouping();
  void StartTree(std::size_t at);
  // Gives a whole short stream that holds one game as that game, without
  // scanning it; false when it may hold another or none.
  bool WholeStreamGame(SplitGame* game);
  // Gives the game being cut, which ends at "end"; false when its grouping
  // proved wrong and its tree is scanned again.
  bool EndChunk(std::size_t end, SplitGame* game);

  const AssumedCharset* assumed_;
  unsigned systemCodePage_;
  std::size_t maxGameBytes_;
  bool mendNodes_ = false;
  bool startSeen_ = false;  // LookAtStart has decided

  std::string buffer_;
  std::uint64_t base_ = 0;         // the stream offset of buffer_[0]
  std::uint64_t streamBytes_ = 0;  // 0: unknown
  bool finished_ = false;

  std::size_t chunkStart_ = 0;  // where the game being cut starts in buffer_
  std::size_t treeStart_ = 0;   // its "(", when a tree has begun
  std::size_t scan_ = 0;        // where scanning goes on
  bool inChunk_ = false;        // a game has begun and is not yet given
  bool inTree_ = false;         // scanning inside its tree
  bool skipping_ = false;       // its bytes are being passed over (tooLarge)
  bool inValue_ = false;        // skipping, scan_ is inside a value
  bool groupingChosen_ = false;
  bool groupingChecked_ = false;
  std::size_t depth_ = 0;
  std::size_t nodes_ = 0;  // nodes of its outermost sequence, counted up to 2
  // The first "(" of a game nested after the first node alone, until the
  // tree's end tells whether it stands under a common root.
  std::size_t rootCut_ = static_cast<std::size_t>(-1);
  ByteGrouping grouping_ = ByteGrouping::Single;
  std::uint64_t gamesFound_ = 0;
  std::uint64_t gamesGiven_ = 0;
  std::uint64_t chunkOffset_ = 0;  // stream offsets of the game being cut
  std::uint64_t treeOffset_ = 0;
};

}  // namespace varnoket

#endif  // VARNOKET_SGF_GAME_SPLITTER_H_
