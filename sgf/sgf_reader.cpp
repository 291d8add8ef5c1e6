// The tolerant SGF reader: GameRecord::LoadFromBytes.
//
// The bytes are decoded whole into UTF-16, then scanned for game trees. A tree
// that does not parse is dropped and scanning resumes where its parse stopped;
// the text of dropped trees stays with the text around the accepted ones. The
// parser keeps an explicit stack of open variations, so nesting depth costs
// heap, never call stack.
#include <cstddef>
#include <new>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "sgf/charset.h"
#include "sgf/game_record.h"

namespace varnoket {
namespace {

bool IsWhitespace(char16_t c) { return c == 9 || c == 10 || c == 11 || c == 13 || c == 32; }

bool StartsWithUtf8Bom(std::string_view bytes) {
  return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
         static_cast<unsigned char>(bytes[1]) == 0xBB &&
         static_cast<unsigned char>(bytes[2]) == 0xBF;
}

}  // namespace

// The parser's working state for one LoadFromBytes.
class SgfReader {
 public:
  explicit SgfReader(GameRecord* record) : record_(record) {}

  bool Load(std::string_view bytes);

 private:
  bool AtEnd() const { return cursor_ == end_; }
  bool SkipWhitespace() {
    while (cursor_ != end_ && IsWhitespace(*cursor_)) ++cursor_;
    return cursor_ != end_;
  }

  bool ProbeSaysUtf8(bool* decided);
  bool ParseGameTree(GameTree* tree);
  bool ParseNodeBody(GameNode* node);
  bool ParseProperty(GameNode* node);
  bool ParseValues(GameNode* node);

  GameRecord* record_;
  std::u16string text_;
  const char16_t* begin_ = nullptr;
  const char16_t* cursor_ = nullptr;
  const char16_t* end_ = nullptr;
  WideString identifier_;
  WideString value_;
  // One entry per open "(" of the tree being parsed: the last node of that
  // sequence, and the node its first node hangs under.
  struct Level {
    GameNode* last;
    GameNode* attach;
  };
  std::vector<Level> levels_;
};

bool SgfReader::Load(std::string_view bytes) {
  if (!platform::DecodeSystemCodePage(bytes, &text_)) return false;
  record_->systemCodePage_ = true;
  begin_ = text_.data();
  end_ = begin_ + text_.size();

  // The code page: a UTF-8 byte-order mark, else the first node that parses.
  bool utf8 = StartsWithUtf8Bom(bytes);
  cursor_ = begin_;
  while (!utf8 && SkipWhitespace()) {
    if (*cursor_++ != u'(') continue;
    bool decided = false;
    const bool saysUtf8 = ProbeSaysUtf8(&decided);
    if (decided) {
      utf8 = saysUtf8;
      break;
    }
  }
  if (utf8) {
    std::u16string decoded;
    // A file that claims UTF-8 but is not keeps its 8-bit reading, which
    // passes its bytes through unchanged instead of replacing them.
    if (platform::DecodeUtf8(bytes, &decoded)) {
      text_.swap(decoded);
      record_->systemCodePage_ = false;
      begin_ = text_.data();
      end_ = begin_ + text_.size();
    }
  }

  // The parse pass.
  cursor_ = begin_;
  const char16_t* segmentStart = begin_;
  bool accepted = false;
  while (SkipWhitespace()) {
    const char16_t* const treeStart = cursor_;
    if (*cursor_++ != u'(') continue;
    GameTree tree;
    if (!ParseGameTree(&tree)) continue;
    tree.current = tree.root;
    if (treeStart > segmentStart) tree.leadingText.assign(segmentStart, treeStart);
    segmentStart = cursor_;
    if (!accepted) {
      accepted = true;
      record_->games_.clear();
      record_->trailingText_.clear();
      record_->currentGame_ = -1;
    }
    record_->games_.push_back(std::move(tree));
    record_->currentGame_ = 0;
  }
  if (accepted && segmentStart < end_) record_->trailingText_.assign(segmentStart, end_);
  return accepted;
}

bool SgfReader::ProbeSaysUtf8(bool* decided) {
  *decided = false;
  if (!SkipWhitespace() || *cursor_ != u';') return false;
  ++cursor_;
  GameNode scratch;
  if (!ParseNodeBody(&scratch)) return false;
  *decided = true;
  const std::int32_t index = scratch.FindProperty(prop::CA);
  return index >= 0 && NamesUtf8(scratch.ValueRef(prop::CA));
}

bool SgfReader::ParseGameTree(GameTree* tree) {
  levels_.clear();
  levels_.push_back(Level{nullptr, nullptr});
  while (SkipWhitespace()) {
    Level& level = levels_.back();
    switch (*cursor_) {
      case u';': {
        ++cursor_;
        GameNode* node = tree->NewNode();
        if (level.last != nullptr) {
          // A node after variations continues the sequence; the variations
          // are no longer part of the tree.
          GameNode* last = level.last;
          node->parent = last;
          last->firstChild = node;
          last->lastChild = node;
          last->mainChild = node;
        } else if (level.attach != nullptr) {
          GameNode* parent = level.attach;
          node->parent = parent;
          if (parent->firstChild == nullptr) {
            parent->firstChild = node;
            parent->mainChild = node;
          } else {
            parent->lastChild->nextSibling = node;
            node->prevSibling = parent->lastChild;
          }
          parent->lastChild = node;
        } else {
          tree->root = node;
        }
        level.last = node;
        if (!ParseNodeBody(node)) return false;
        break;
      }
      case u'(': {
        ++cursor_;
        GameNode* last = level.last;
        if (last == nullptr) return false;  // a tree must begin with a node
        levels_.push_back(Level{nullptr, last});
        break;
      }
      case u')':
        if (level.last == nullptr) return false;
        ++cursor_;
        levels_.pop_back();
        if (levels_.empty()) return true;
        break;
      default:
        ++cursor_;
        return false;
    }
  }
  return false;
}

bool SgfReader::ParseNodeBody(GameNode* node) {
  while (SkipWhitespace()) {
    const char16_t c = *cursor_;
    if (c == u'(' || c == u')' || c == u';') return true;
    if (c == u'[' || c == u']') return false;
    if (!ParseProperty(node)) return false;
  }
  return false;
}

bool SgfReader::ParseProperty(GameNode* node) {
  identifier_.clear();
  while (SkipWhitespace()) {
    const char16_t c = *cursor_;
    if (c == u'[') return ParseValues(node);
    if (c < u'A' || c > u'Z') return false;
    identifier_.push_back(c);
    ++cursor_;
  }
  return false;
}

bool SgfReader::ParseValues(GameNode* node) {
  bool between = true;
  NodeProperty* property = nullptr;
  value_.clear();
  while (!AtEnd()) {
    const char16_t c = *cursor_;
    if (c == u'[') {
      if (between) {
        between = false;
      } else {
        value_.push_back(c);
      }
    } else if (c == u'\\') {
      ++cursor_;
      if (AtEnd()) return false;
      if (between) return true;
      value_.push_back(*cursor_);
    } else if (c == u']') {
      if (property == nullptr) {
        const PropertyDescriptor* row =
            PropertyCatalogue::Instance().FindByIdentifier(identifier_);
        property = &node->AppendProperty(
            row != nullptr ? NodeProperty(*row)
                           : NodeProperty(PropertyDescriptor{identifier_, 0, PropertyClass::Unknown,
                                                             ValueType::Unknown}));
      }
      property->values.emplace_back(value_);
      value_.clear();
      between = true;
    } else if (between) {
      return true;
    } else {
      // Copy the run up to the next character that means something inside a
      // value in one step.
      const char16_t* run = cursor_ + 1;
      while (run != end_ && *run != u']' && *run != u'\\') ++run;
      value_.append(cursor_, run);
      cursor_ = run;
      if (AtEnd()) return false;
      continue;
    }
    ++cursor_;
    if (between) SkipWhitespace();
  }
  return false;
}

bool GameRecord::LoadFromBytes(std::string_view bytes) {
  try {
    SgfReader reader(this);
    return reader.Load(bytes);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

}  // namespace varnoket
