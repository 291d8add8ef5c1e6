// SPDX-License-Identifier: MIT
#ifndef VARNOKET_SGF_REPAIRS_H_
#define VARNOKET_SGF_REPAIRS_H_

#include <cstddef>

namespace varnoket {

// What reading mended in a damaged text (see grammar::Parser::Recover); all
// false for a text read as the grammar says.
struct Repairs {
  bool lowerCaseNames = false;  // identifiers with lower-case letters, read
                                // without them ("AddBlack" as AB)
  bool strayBytes = false;      // bytes between nodes and properties that
                                // belong to neither, skipped
  bool missingNodes = false;    // a "(" not followed by ";" given its node
  bool cutShort = false;        // the text ended inside the tree, which was
                                // closed there
  // Set by the stream reader: text read as UTF-16 though it has no
  // byte-order mark.
  bool utf16 = false;
  // Set by the cleaner with "cutShort": the moves of the main line kept.
  std::size_t movesKept = 0;

  bool any() const { return lowerCaseNames || strayBytes || missingNodes || cutShort || utf16; }
  friend bool operator==(const Repairs&, const Repairs&) = default;
};

}  // namespace varnoket

#endif  // VARNOKET_SGF_REPAIRS_H_
