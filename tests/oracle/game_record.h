// SPDX-License-Identifier: MIT
#ifndef VARNOKET_TESTS_ORACLE_GAME_RECORD_H_
#define VARNOKET_TESTS_ORACLE_GAME_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sgf/charset.h"
#include "sgf/property_catalogue.h"
#include "sgf/wide_string.h"

namespace varnoket {

class NodeArena;

// One property of a node: its catalogue descriptor and its values in order.
// A property held by a node always has at least one value.
struct NodeProperty {
  NodeProperty() = default;
  // Takes the descriptor from the catalogue by identifier text; an unknown
  // identifier keeps its text, with id 0.
  explicit NodeProperty(std::u16string_view identifier);
  // Takes the descriptor from the catalogue by id; an unknown id gives an
  // empty identifier and keeps the id.
  explicit NodeProperty(PropertyId id);
  explicit NodeProperty(PropertyDescriptor descriptorIn) : descriptor(std::move(descriptorIn)) {}

  PropertyDescriptor descriptor;
  std::vector<WideString> values;
};

// One node of a game tree. Nodes are owned by their GameTree; every pointer
// here is a non-owning link within the same tree.
class GameNode {
 public:
  GameNode() = default;
  GameNode(const GameNode&) = delete;
  GameNode& operator=(const GameNode&) = delete;

  // Appends a new empty node as the last child of "node" (which must belong to
  // a GameTree) and makes it the main child.
  static GameNode* AddChild(GameNode* node);
  // The child that the main line follows, or null.
  static GameNode* MainChild(const GameNode* node);

  // Index of the first property with this id, or -1.
  std::int32_t FindProperty(PropertyId id) const;
  // First value of the first property with this id; empty when absent.
  WideString Value(PropertyId id) const;
  // The same as Value, without a copy. The reference lives as long as the node
  // is unchanged.
  const WideString& ValueRef(PropertyId id) const;
  // Appends "value" to the first property with this id, creating the property
  // at the end (and raising its class flag) when the node lacks it.
  void AddValue(PropertyId id, WideString value);
  // Makes the first property with this id hold exactly "value", keeping its
  // position, or appends a new property as AddValue does.
  void SetValue(PropertyId id, WideString value);
  // Appends "property" as it is and raises its class flag.
  NodeProperty& AppendProperty(NodeProperty property);

  GameNode* parent = nullptr;
  GameNode* firstChild = nullptr;
  GameNode* mainChild = nullptr;
  GameNode* prevSibling = nullptr;
  GameNode* nextSibling = nullptr;
  GameNode* lastChild = nullptr;  // last of the sibling chain under this node
  std::vector<NodeProperty> properties;
  bool hasMove = false;
  bool hasSetup = false;
  bool hasRoot = false;
  bool hasGameInfo = false;

 private:
  friend class NodeArena;
  void RaiseClassFlag(PropertyClass propertyClass);

  NodeArena* arena_ = nullptr;
};

// One game tree of a file with the text in front of it. The tree owns all its
// nodes in a block arena, so freeing it never recurses, whatever its depth.
// Moving a GameTree keeps every node at its address.
class GameTree {
 public:
  GameTree();
  ~GameTree();
  GameTree(GameTree&& other) noexcept;
  GameTree& operator=(GameTree&& other) noexcept;
  GameTree(const GameTree&) = delete;
  GameTree& operator=(const GameTree&) = delete;

  // A new empty node owned by this tree, linked to nothing.
  GameNode* NewNode();

  WideString leadingText;
  std::int32_t moveNumber = 0;
  GameNode* root = nullptr;
  GameNode* current = nullptr;

 private:
  std::unique_ptr<NodeArena> arena_;
};

// An SGF file in memory: its game trees in file order, the text around them,
// and the code page its text is stored in.
class GameRecord {
 public:
  GameRecord();
  ~GameRecord();
  GameRecord(const GameRecord&) = delete;
  GameRecord& operator=(const GameRecord&) = delete;

  // One game of one empty root node, which is current; trailing text empty.
  // The encoding and its label are kept.
  void Reset();

  // Parses SGF bytes. The encoding is chosen from the first node's CA, a UTF-8
  // byte-order mark and "assumed" (see grammar::ChooseReading): UTF-8, a known
  // charset read byte for byte, or the system code page, also byte for byte. A file that claims
  // UTF-8 but is not valid UTF-8 gets an 8-bit reading, so its bytes survive
  // unchanged. Every game tree that parses is kept with the text around it.
  // Returns true when at least one game tree was accepted; otherwise the
  // games, trailing text and current game stay as they were (the encoding is
  // still set).
  bool LoadFromBytes(std::string_view bytes, const AssumedCharset* assumed = nullptr);

  // Why the last Load accepted no game tree: true when the last tree began
  // and the text ended before it closed (the record is cut short), false when
  // nothing parsed as a game, the file could not be read, or the load
  // succeeded.
  bool cutShort() const { return cutShort_; }

  // Replaces "*out" with the SGF text of the record in its code page. False
  // only when the text is too long to convert; "*out" is then empty.
  bool SaveToBytes(std::string* out) const;

  // Navigation over the current game; each requires one (after Reset or a
  // successful Load) and ends the program otherwise.
  GameNode* RootNode();
  GameNode* CurrentNode();
  bool Advance();
  WideString CurrentValue(PropertyId id) const;
  void SetCurrentValue(PropertyId id, WideString value);

  std::vector<GameTree>& games() { return games_; }
  const std::vector<GameTree>& games() const { return games_; }
  const WideString& trailingText() const { return trailingText_; }
  std::int32_t currentGame() const { return currentGame_; }
  // How the text is held and written; a new record is in the system code page.
  const TextEncoding& encoding() const { return encoding_; }
  void SetEncoding(TextEncoding encoding) { encoding_ = encoding; }
  bool systemCodePage() const { return encoding_.form == TextEncoding::Form::SystemCodePage; }
  // The name the encoding came from: "UTF-8", the CA value that declared the
  // charset, or the assumed charset's name; empty for the system code page.
  const std::string& charsetLabel() const { return charsetLabel_; }

 private:
  friend class SgfReader;

  GameTree& CurrentGameTree();
  const GameTree& CurrentGameTree() const;

  std::vector<GameTree> games_;
  WideString trailingText_;
  std::int32_t currentGame_ = -1;
  TextEncoding encoding_;
  std::string charsetLabel_;
  bool cutShort_ = false;
};

}  // namespace varnoket

#endif  // VARNOKET_TESTS_ORACLE_GAME_RECORD_H_
