// SPDX-License-Identifier: MIT
#include "tests/oracle/game_record.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace varnoket {
namespace {

// Ends the program on a broken precondition of the navigation operations: a
// programming error, never a reaction to input.
[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "varnoket: internal error: %s\n", what);
  std::abort();
}

const WideString& EmptyText() {
  static const WideString empty;
  return empty;
}

}  // namespace

// Holds the nodes of one tree in blocks that never move, so nodes keep their
// addresses and are all freed by one loop over the blocks.
class NodeArena {
 public:
  GameNode* NewNode() {
    if (blocks_.empty() || used_ == blockSize_) {
      // Blocks grow so that huge trees need few allocations and small ones
      // waste little.
      if (!blocks_.empty() && blockSize_ < kLargestBlock) blockSize_ *= 2;
      blocks_.push_back(std::make_unique<GameNode[]>(blockSize_));
      used_ = 0;
    }
    GameNode* node = &blocks_.back()[used_++];
    node->arena_ = this;
    return node;
  }

 private:
  static constexpr std::size_t kFirstBlock = 16;
  static constexpr std::size_t kLargestBlock = 4096;

  std::vector<std::unique_ptr<GameNode[]>> blocks_;
  std::size_t blockSize_ = kFirstBlock;
  std::size_t used_ = 0;
};

NodeProperty::NodeProperty(std::u16string_view identifier)
    : descriptor(LookupByIdentifier(identifier)) {}

NodeProperty::NodeProperty(PropertyId id) : descriptor(LookupById(id)) {}

GameNode* GameNode::AddChild(GameNode* node) {
  if (node == nullptr || node->arena_ == nullptr) Fail("AddChild on a node outside a tree");
  GameNode* child = node->arena_->NewNode();
  child->parent = node;
  if (node->firstChild == nullptr) {
    node->firstChild = child;
  } else {
    GameNode* last = node->lastChild;
    last->nextSibling = child;
    child->prevSibling = last;
  }
  node->lastChild = child;
  node->mainChild = child;
  return child;
}

GameNode* GameNode::MainChild(const GameNode* node) {
  return node == nullptr ? nullptr : node->mainChild;
}

std::int32_t GameNode::FindProperty(PropertyId id) const {
  const std::size_t count = properties.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (properties[i].descriptor.id == id) return static_cast<std::int32_t>(i);
  }
  return -1;
}

const WideString& GameNode::ValueRef(PropertyId id) const {
  const std::int32_t index = FindProperty(id);
  if (index < 0) return EmptyText();
  const NodeProperty& property = properties[static_cast<std::size_t>(index)];
  return property.values.empty() ? EmptyText() : property.values.front();
}

WideString GameNode::Value(PropertyId id) const { return ValueRef(id); }

void GameNode::AddValue(PropertyId id, WideString value) {
  const std::int32_t index = FindProperty(id);
  NodeProperty* property = nullptr;
  if (index < 0) {
    property = &AppendProperty(NodeProperty(id));
  } else {
    property = &properties[static_cast<std::size_t>(index)];
  }
  property->values.push_back(std::move(value));
}

void GameNode::SetValue(PropertyId id, WideString value) {
  const std::int32_t index = FindProperty(id);
  if (index >= 0) properties[static_cast<std::size_t>(index)].values.clear();
  AddValue(id, std::move(value));
}

NodeProperty& GameNode::AppendProperty(NodeProperty property) {
  RaiseClassFlag(property.descriptor.propertyClass);
  properties.push_back(std::move(property));
  return properties.back();
}

void GameNode::RaiseClassFlag(PropertyClass propertyClass) {
  switch (propertyClass) {
    case PropertyClass::Move:
      hasMove = true;
      break;
    case PropertyClass::Setup:
      hasSetup = true;
      break;
    case PropertyClass::Root:
      hasRoot = true;
      break;
    case PropertyClass::GameInfo:
      hasGameInfo = true;
      break;
    default:
      break;
  }
}

GameTree::GameTree() = default;

GameTree::~GameTree() = default;

GameTree::GameTree(GameTree&& other) noexcept
    : leadingText(std::move(other.leadingText)),
      moveNumber(other.moveNumber),
      root(std::exchange(other.root, nullptr)),
      current(std::exchange(other.current, nullptr)),
      arena_(std::move(other.arena_)) {}

GameTree& GameTree::operator=(GameTree&& other) noexcept {
  if (this != &other) {
    leadingText = std::move(other.leadingText);
    moveNumber = other.moveNumber;
    root = std::exchange(other.root, nullptr);
    current = std::exchange(other.current, nullptr);
    arena_ = std::move(other.arena_);
  }
  return *this;
}

GameNode* GameTree::NewNode() {
  if (arena_ == nullptr) arena_ = std::make_unique<NodeArena>();
  return arena_->NewNode();
}

GameRecord::GameRecord() = default;

GameRecord::~GameRecord() = default;

void GameRecord::Reset() {
  games_.clear();
  trailingText_.clear();
  currentGame_ = -1;
  GameTree& game = games_.emplace_back();
  currentGame_ = 0;
  game.root = game.NewNode();
  game.current = game.root;
}

GameTree& GameRecord::CurrentGameTree() {
  if (currentGame_ < 0 || static_cast<std::size_t>(currentGame_) >= games_.size()) {
    Fail("no current game");
  }
  return games_[static_cast<std::size_t>(currentGame_)];
}

const GameTree& GameRecord::CurrentGameTree() const {
  return const_cast<GameRecord*>(this)->CurrentGameTree();
}

GameNode* GameRecord::RootNode() { return CurrentGameTree().root; }

GameNode* GameRecord::CurrentNode() { return CurrentGameTree().current; }

bool GameRecord::Advance() {
  GameTree& game = CurrentGameTree();
  if (game.current == nullptr || game.current->mainChild == nullptr) return false;
  game.current = game.current->mainChild;
  if (game.current->hasMove) ++game.moveNumber;
  return true;
}

WideString GameRecord::CurrentValue(PropertyId id) const {
  const GameTree& game = CurrentGameTree();
  return game.current == nullptr ? WideString() : game.current->Value(id);
}

void GameRecord::SetCurrentValue(PropertyId id, WideString value) {
  GameTree& game = CurrentGameTree();
  if (game.current == nullptr) Fail("no current node");
  game.current->SetValue(id, std::move(value));
}

}  // namespace varnoket
