// SPDX-License-Identifier: MIT
#include "tests/oracle/extract_game.h"

#include <string>

#include "clean/clean_record.h"
#include "sgf/charset.h"

namespace varnoket {
namespace {

// Appends one move of "colour" to the destination's main line, first inserting
// a pass of the other colour when the previous move was of the same colour.
void AppendMove(GameRecord& destination, PropertyId colour, PropertyId other,
                const WideString& move) {
  GameNode* previous = destination.CurrentNode();
  GameNode* node = GameNode::AddChild(previous);
  if (!previous->ValueRef(colour).empty()) {
    node->SetValue(other, WideString());
    destination.Advance();
    node = GameNode::AddChild(node);
  }
  node->SetValue(colour, move);
  destination.Advance();
}

}  // namespace

void ExtractGame(GameRecord& source, GameRecord& destination) {
  destination.SetEncoding(source.encoding());
  destination.SetCurrentValue(prop::GM, u"1");
  destination.SetCurrentValue(prop::FF, u"4");

  // The character set travels with the text, so names stay readable.
  const GameNode* sourceRoot = source.RootNode();
  WideString charset =
      CharsetToDeclare(sourceRoot->ValueRef(prop::CA), source.encoding(), source.charsetLabel());
  if (!charset.empty()) destination.SetCurrentValue(prop::CA, std::move(charset));

  for (const PropertyId id : kCopiedRootProperties) {
    const WideString& value = sourceRoot->ValueRef(id);
    if (!value.empty()) destination.SetCurrentValue(id, value);
  }

  const WideString& handicap = sourceRoot->ValueRef(prop::HA);
  if (!handicap.empty()) {
    destination.SetCurrentValue(prop::HA, handicap);
    const std::int32_t index = sourceRoot->FindProperty(prop::AB);
    if (index >= 0) {
      GameNode* root = destination.RootNode();
      for (const WideString& stone :
           sourceRoot->properties[static_cast<std::size_t>(index)].values) {
        root->AddValue(prop::AB, stone);
      }
    }
  }

  for (const GameNode* node = sourceRoot; node != nullptr; node = GameNode::MainChild(node)) {
    const WideString& black = node->ValueRef(prop::B);
    if (!black.empty()) AppendMove(destination, prop::B, prop::W, black);
    const WideString& white = node->ValueRef(prop::W);
    if (!white.empty()) AppendMove(destination, prop::W, prop::B, white);
  }
}

}  // namespace varnoket
