// The SGF writer: GameRecord::SaveToBytes.
//
// Layout: "(" opens a game's root; every other node starts a new line (CR LF);
// a node with siblings opens its variation with CR LF "(" and closes it with
// ")" after the last node of its subtree. Nothing else separates the pieces,
// no byte-order mark is written and no line break is added at the end. The
// whole text is built in UTF-16 and converted once.
#include <new>
#include <string>

#include "platform/text_codec.h"
#include "sgf/game_record.h"

namespace varnoket {
namespace {

// Appends "[value]" with "\" and "]" escaped, whatever the property's type:
// the reader removes escaping backslashes from every value, so every value
// needs them back.
void AppendValue(const WideString& value, std::u16string* out) {
  out->push_back(u'[');
  const char16_t* p = value.data();
  const char16_t* const end = p + value.size();
  while (p != end) {
    const char16_t* run = p;
    while (run != end && *run != u'\\' && *run != u']') ++run;
    out->append(p, run);
    if (run == end) break;
    out->push_back(u'\\');
    out->push_back(*run);
    p = run + 1;
  }
  out->push_back(u']');
}

void AppendNode(const GameNode& node, std::u16string* out) {
  out->push_back(u';');
  for (const NodeProperty& property : node.properties) {
    out->append(property.descriptor.identifier);
    for (const WideString& value : property.values) AppendValue(value, out);
  }
}

bool OpensVariation(const GameNode& node) {
  return node.parent == nullptr || node.prevSibling != nullptr || node.nextSibling != nullptr;
}

// Writes one tree depth-first without recursion: down through first children,
// across to next siblings, back up through parents, closing variations on the
// way up.
void AppendTree(const GameNode* root, std::u16string* out) {
  const GameNode* node = root;
  while (node != nullptr) {
    if (node->parent == nullptr) {
      out->push_back(u'(');
    } else {
      out->append(u"\r\n");
      if (OpensVariation(*node)) out->push_back(u'(');
    }
    AppendNode(*node, out);
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
      AppendTree(game.root, &text);
    }
    text.append(trailingText_);
    if (systemCodePage_) {
      if (!platform::AppendSystemCodePage(text, out)) {
        out->clear();
        return false;
      }
    } else {
      if (text.size() > platform::kMaxConvertibleLength) return false;
      platform::AppendUtf8(text, out);
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
