// SPDX-License-Identifier: MIT
// The tolerant SGF reader: GameRecord::LoadFromBytes.
//
// The encoding is chosen first, then the text is scanned for game trees. A
// tree that does not parse is dropped and scanning resumes where its parse
// stopped; the text of dropped trees stays with the text around the accepted
// ones. The bytes are parsed in place (well-formed UTF-8, or byte for byte in
// a declared, assumed or system charset), and only the pieces the record keeps
// are converted to UTF-16.
#include <cstddef>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "platform/text_codec.h"
#include "sgf/sgf_parser.h"
#include "sgf/utf8.h"
#include "tests/oracle/game_record.h"

namespace varnoket {
namespace {

using grammar::RawValue;

// Turns pieces of the parsed text into wide strings.
class TextConverter {
 public:
  // "utf8": bytes are well-formed UTF-8; otherwise each byte is one code unit,
  // the bytes grouping into characters as "grouping" says.
  TextConverter(bool utf8, ByteGrouping grouping) : utf8_(utf8), grouping_(grouping) {}

  void Assign(const char* begin, const char* end, WideString* out) {
    const std::string_view bytes(begin, static_cast<std::size_t>(end - begin));
    if (utf8_) {
      // Pieces begin and end next to ASCII structure, so no sequence is cut.
      DecodeUtf8(bytes, out);
      return;
    }
    out->resize(bytes.size());
    char16_t* write = out->data();
    for (const char byte : bytes)
      *write++ = static_cast<char16_t>(static_cast<unsigned char>(byte));
  }

  void AssignValue(const RawValue<char>& value, WideString* out) {
    if (!value.escaped) {
      Assign(value.begin, value.end, out);
      return;
    }
    unescaped_.clear();
    grammar::AppendUnescaped(grouping_, value.begin, value.end, &unescaped_);
    Assign(unescaped_.data(), unescaped_.data() + unescaped_.size(), out);
  }

  ByteGrouping grouping() const { return grouping_; }

 private:
  bool utf8_;
  ByteGrouping grouping_;
  std::string unescaped_;
};

// Builds the nodes of one GameTree as the parser meets them.
template <typename Char>
class TreeBuilder {
 public:
  using Node = GameNode*;
  static constexpr Node kNoNode = nullptr;

  explicit TreeBuilder(TextConverter* converter)
      : converter_(converter), catalogue_(PropertyCatalogue::Instance()) {}

  // The tree that receives the nodes from now on.
  void SetTree(GameTree* tree) { tree_ = tree; }

  Node NewRoot() {
    GameNode* node = tree_->NewNode();
    tree_->root = node;
    return node;
  }

  Node NewChild(Node last) {
    GameNode* node = tree_->NewNode();
    node->parent = last;
    last->firstChild = node;
    last->lastChild = node;
    last->mainChild = node;
    return node;
  }

  Node NewVariation(Node parent) {
    GameNode* node = tree_->NewNode();
    node->parent = parent;
    if (parent->firstChild == nullptr) {
      parent->firstChild = node;
      parent->mainChild = node;
    } else {
      parent->lastChild->nextSibling = node;
      node->prevSibling = parent->lastChild;
    }
    parent->lastChild = node;
    return node;
  }

  void AddProperty(Node node, std::basic_string_view<Char> identifier,
                   std::span<const RawValue<Char>> values) {
    const PropertyDescriptor* row = grammar::FindDescriptor(catalogue_, identifier);
    NodeProperty* property = nullptr;
    if (row != nullptr) {
      property = &node->AppendProperty(NodeProperty(*row));
    } else {
      PropertyDescriptor unknown;
      converter_->Assign(identifier.data(), identifier.data() + identifier.size(),
                         &unknown.identifier);
      property = &node->AppendProperty(NodeProperty(std::move(unknown)));
    }
    property->values.resize(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      converter_->AssignValue(values[i], &property->values[i]);
    }
  }

 private:
  TextConverter* converter_;
  const PropertyCatalogue& catalogue_;
  GameTree* tree_ = nullptr;
};

}  // namespace

// The parse pass of one LoadFromBytes.
class SgfReader {
 public:
  explicit SgfReader(GameRecord* record) : record_(record) {}

  bool Load(std::string_view bytes, const AssumedCharset* assumed);

 private:
  template <typename Char>
  bool ParseTrees(const Char* begin, const Char* end, TextConverter* converter);

  GameRecord* record_;
};

bool SgfReader::Load(std::string_view bytes, const AssumedCharset* assumed) {
  using Form = TextEncoding::Form;
  if (bytes.size() > kMaxConvertibleLength) return false;
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  const grammar::Reading reading =
      grammar::ChooseReading(bytes, assumed, platform::SystemCodePage());
  record_->encoding_ = reading.encoding;
  record_->charsetLabel_ = reading.label;
  TextConverter converter(reading.encoding.form == Form::Utf8, reading.encoding.grouping);
  return ParseTrees(begin, end, &converter);
}

template <typename Char>
bool SgfReader::ParseTrees(const Char* begin, const Char* end, TextConverter* converter) {
  TreeBuilder<Char> builder(converter);
  grammar::Parser<Char, TreeBuilder<Char>> parser(begin, end, &builder, converter->grouping());
  const Char* segmentStart = begin;
  const Char* treeStart = nullptr;
  bool accepted = false;
  while (parser.NextOpening(&treeStart)) {
    GameTree tree;
    builder.SetTree(&tree);
    if (!parser.ParseGameTree()) continue;
    tree.current = tree.root;
    if (treeStart > segmentStart) converter->Assign(segmentStart, treeStart, &tree.leadingText);
    segmentStart = parser.position();
    if (!accepted) {
      accepted = true;
      record_->games_.clear();
      record_->trailingText_.clear();
      record_->currentGame_ = -1;
    }
    record_->games_.push_back(std::move(tree));
    record_->currentGame_ = 0;
  }
  if (accepted && segmentStart < end) converter->Assign(segmentStart, end, &record_->trailingText_);
  record_->cutShort_ = !accepted && parser.EndedOpen();
  return accepted;
}

bool GameRecord::LoadFromBytes(std::string_view bytes, const AssumedCharset* assumed) {
  cutShort_ = false;
  try {
    SgfReader reader(this);
    return reader.Load(bytes, assumed);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

}  // namespace varnoket
