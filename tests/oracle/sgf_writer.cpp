// SPDX-License-Identifier: MIT
// The SGF writer: GameRecord::SaveToBytes.
//
// Layout: "(" opens a game's root; every other node starts a new line (CR LF);
// a node with siblings opens its variation with CR LF "(" and closes it with
// ")" after the last node of its subtree. Nothing else separates the pieces,
// no byte-order mark is written and no line break is added at the end. The
// whole text is built in UTF-16 and converted once.
#include <new>
#include <string>
#include <string_view>

#include "sgf/sgf_text.h"
#include "sgf/utf8.h"
#include "tests/oracle/game_record.h"

namespace varnoket {
namespace {

// Appends "[value]" escaped (grammar::AppendEscaped), whatever the property's
// type: the reader removes escaping backslashes from every value, so every
// value needs them back.
void AppendValue(const WideString& value, ByteGrouping grouping, std::u16string* out) {
  out->push_back(u'[');
  grammar::AppendEscaped(grouping, value.data(), value.data() + value.size(), out);
  out->push_back(u']');
}

void AppendNode(const GameNode& node, ByteGrouping grouping, std::u16string* out) {
  out->push_back(u';');
  for (const NodeProperty& property : node.properties) {
    out->append(property.descriptor.identifier);
    for (const WideString& value : property.values) AppendValue(value, grouping, out);
  }
}

// Appends each code unit as one byte, "?" for a unit above 0xFF (which no
// text read byte for byte holds).
void AppendBytes(std::u16string_view text, std::string* out) {
  const std::size_t start = out->size();
  out->resize(start + text.size());
  char* write = out->data() + start;
  for (const char16_t unit : text) *write++ = unit <= 0xFF ? static_cast<char>(unit) : '?';
}

bool OpensVariation(const GameNode& node) {
  return node.parent == nullptr || node.prevSibling != nullptr || node.nextSibling != nullptr;
}

// Writes one tree depth-first without recursion: down through first children,
// across to next siblings, back up through parents, closing variations on the
// way up.
void AppendTree(const GameNode* root, ByteGrouping grouping, std::u16string* out) {
  const GameNode* node = root;
  while (node != nullptr) {
    if (node->parent == nullptr) {
      out->push_back(u'(');
    } else {
      out->append(u"\r\n");
      if (OpensVariation(*node)) out->push_back(u'(');
    }
    AppendNode(*node, grouping, out);
    if (node->firstChild != nullptr) {
      node = node->firstChild;
      continue;
    }
    for (;;) {
      if (OpensVariation(*node)) out->push_back(u')');
      if (node == root) {
        node = nullptr;
        break;
      }
      if (node->nextSibling != nullptr) {
        node = node->nextSibling;
        break;
      }
      node = node->parent;
    }
  }
}

}  // namespace

bool GameRecord::SaveToBytes(std::string* out) const {
  out->clear();
  try {
    std::u16string text;
    for (const GameTree& game : games_) {
      text.append(game.leadingText);
      AppendTree(game.root, encoding_.grouping, &text);
    }
    text.append(trailingText_);
    switch (encoding_.form) {
      case TextEncoding::Form::Utf8:
        if (text.size() > kMaxConvertibleLength) return false;
        AppendUtf8(text, out);
        break;
      case TextEncoding::Form::SystemCodePage:
      case TextEncoding::Form::Bytes:
        if (text.size() > kMaxConvertibleLength) return false;
        AppendBytes(text, out);
        break;
    }
    return true;
  } catch (const std::bad_alloc&) {
    out->clear();
    return false;
  } catch (const std::length_error&) {
    out->clear();
    return false;
  }
}

}  // namespace varnoket
