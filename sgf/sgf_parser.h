// SPDX-License-Identifier: MIT
#ifndef VARNOKET_SGF_SGF_PARSER_H_
#define VARNOKET_SGF_SGF_PARSER_H_

// The tolerant SGF grammar, shared by the reader that builds a GameRecord and
// by the cleaner that keeps only what it needs of the first game. The parser
// knows the grammar and nothing of what is built: it hands nodes and complete
// properties to a sink, a template parameter, so no call is virtual.
//
// It works on code units of any width; the program gives it bytes in a known
// ByteGrouping (single-byte code pages, well-formed UTF-8, the multi-byte
// charsets a file declares or that are assumed for it). Every character the
// grammar looks at is ASCII, and it steps over every other character whole,
// so a trail byte is never taken for punctuation.
//
// A Sink provides:
//   using Node = ...;              a handle, copied freely
//   static constexpr Node kNoNode;  a handle that names no node
//   Node NewRoot();                 the first node of a game tree
//   Node NewChild(Node last);       a node after "last" in its sequence: the
//                                   only child of "last", whose earlier
//                                   children (variations) drop out of the tree
//   Node NewVariation(Node parent); the first node of a variation under
//                                   "parent", after its other children
//   void AddProperty(Node, std::basic_string_view<Char> identifier,
//                    std::span<const RawValue<Char>> values);
//                                   a complete property, at least one value
// Nothing recurses: open variations are an explicit stack.
//
// A text that begins with ";" (after a byte-order mark and white space) is
// read as if "(" stood before it and ")" after it: its first tree is the game
// whose opening parenthesis was left out.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sgf/charset.h"
#include "sgf/charset_detect.h"
#include "sgf/property_catalogue.h"
#include "sgf/repairs.h"
#include "sgf/sgf_text.h"

namespace varnoket::grammar {

// One value as it stands in the text, between its "[" and the "]" that closes
// it. The stored value is this text without its escaping backslashes.
template <typename Char>
struct RawValue {
  const Char* begin;
  const Char* end;
  bool escaped;  // holds at least one escaping backslash

  bool empty() const { return begin == end; }
  std::size_t size() const { return static_cast<std::size_t>(end - begin); }
};

// The catalogue row of an identifier of upper-case ASCII letters, or null.
template <typename Char>
const PropertyDescriptor* FindDescriptor(const PropertyCatalogue& catalogue,
                                         std::basic_string_view<Char> identifier) {
  if (identifier.size() > 2) return nullptr;
  char16_t letters[2] = {};
  for (std::size_t i = 0; i < identifier.size(); ++i)
    letters[i] = static_cast<char16_t>(Unit(identifier[i]));
  return catalogue.FindByIdentifier(std::u16string_view(letters, identifier.size()));
}

// The grammar over one text, feeding one sink. Reusable from tree to tree.
template <typename Char, typename Sink>
class Parser {
 public:
  using Node = typename Sink::Node;

  // "*sink" must outlive the parser; the text must outlive both. UTF-16 text
  // is always grouped Single.
  Parser(const Char* begin, const Char* end, Sink* sink,
         ByteGrouping grouping = ByteGrouping::Single)
      : begin_(begin), cursor_(begin), end_(end), sink_(sink), grouping_(grouping) {}

  // From now on damaged text is mended as far as it can be and what was
  // mended is noted in "*repairs", which must outlive the parser:
  // - lower-case letters in identifiers are dropped ("AddBlack" is AB);
  // - bytes between nodes and properties that begin neither are skipped,
  //   a value without an identifier whole;
  // - a "(" followed by a property, not ";", gets its node;
  // - a tree that the text ends inside is closed at the end of the text, with
  //   the properties complete by then.
  void Recover(Repairs* repairs) { repairs_ = repairs; }

  const Char* position() const { return cursor_; }

  // Steps over the character at the cursor, which must exist.
  void StepOver() { cursor_ += CharacterLength(grouping_, cursor_, end_); }

  // Steps over white space; true when a character remains.
  bool SkipWhitespace() {
    while (cursor_ != end_ && InClass(*cursor_, kWhitespace)) ++cursor_;
    return cursor_ != end_;
  }

  // Steps over text up to the next "(" and over that too, setting "*at" to it;
  // false when the text ends first. At the start of a text that begins with
  // ";" it stops at that ";" instead, which then opens the tree.
  bool NextOpening(const Char** at) {
    if (cursor_ == begin_) {
      if (cursor_ != end_ && Unit(*cursor_) == kByteOrderMark) ++cursor_;
      if (end_ - cursor_ >= 3 && Unit(cursor_[0]) == 0xEF && Unit(cursor_[1]) == 0xBB &&
          Unit(cursor_[2]) == 0xBF) {
        cursor_ += 3;
      }
      if (SkipWhitespace() && Unit(*cursor_) == ';') {
        *at = cursor_;
        implied_ = true;
        return true;
      }
    }
    while (SkipWhitespace()) {
      if (Unit(*cursor_) == '(') {
        *at = cursor_++;
        return true;
      }
      StepOver();
    }
    return false;
  }

  // Parses one game tree, the cursor just after its "(". True when the tree
  // closed, the cursor after its ")"; false where the parse failed, the cursor
  // where scanning goes on (at the end when the text ended inside the tree).
  bool ParseGameTree() {
    begun_ = false;
    const bool implied = implied_;
    implied_ = false;
    completeAtEnd_ = implied || repairs_ != nullptr;
    bool closed = ParseTree(implied);
    if (!closed && begun_ && cursor_ == end_ && repairs_ != nullptr) {
      repairs_->cutShort = true;
      closed = true;
    }
    endedOpen_ = !closed && begun_ && cursor_ == end_;
    return closed;
  }

  // Whether the last ParseGameTree failed because the text ended after the
  // tree's first node began and before the tree closed: a record cut short,
  // as opposed to one with a character that does not belong.
  bool EndedOpen() const { return endedOpen_; }

  // Parses the properties of one node, the cursor just after its ";". True
  // when the node ends at "(", ")" or ";", which is left to the caller, or,
  // in a tree that may close at the end of the text, at that end.
  bool ParseNodeBody(Node node) {
    while (SkipWhitespace()) {
      if (InClass(*cursor_, kNodeEnd)) return true;
      if (repairs_ != nullptr && !InClass(*cursor_, kLetter | kLowerLetter)) {
        SkipStray();
        continue;
      }
      const char32_t c = Unit(*cursor_);
      if (c == '[' || c == ']') return false;  // a value needs an identifier
      if (!ParseProperty(node)) return false;
    }
    return completeAtEnd_;
  }

 private:
  // One entry per open "(" of the tree: the last node of that sequence, and
  // the node its first node hangs under.
  struct Level {
    Node last;
    Node attach;
  };

  // "implied": the cursor is on the ";" of a text that begins with one, whose
  // tree also closes where the text ends.
  bool ParseTree(bool implied) {
    levels_.clear();
    levels_.push_back(Level{Sink::kNoNode, Sink::kNoNode});
    while (SkipWhitespace()) {
      Level& level = levels_.back();
      switch (Unit(*cursor_)) {
        case ';': {
          ++cursor_;
          begun_ = true;
          Node node = Sink::kNoNode;
          if (level.last != Sink::kNoNode) {
            node = sink_->NewChild(level.last);
          } else if (level.attach != Sink::kNoNode) {
            node = sink_->NewVariation(level.attach);
          } else {
            node = sink_->NewRoot();
          }
          level.last = node;
          if (!ParseMoveNode(node) && !ParseNodeBody(node)) return false;
          break;
        }
        case '(': {
          ++cursor_;
          const Node last = level.last;
          if (last == Sink::kNoNode) return false;  // a tree must begin with a node
          levels_.push_back(Level{Sink::kNoNode, last});
          break;
        }
        case ')':
          if (level.last == Sink::kNoNode) return false;
          ++cursor_;
          levels_.pop_back();
          if (levels_.empty()) return true;
          break;
        default: {
          // Before a tree's first node only a property can be mended into
          // one: text in parentheses, "(c) 2001", is no tree.
          const bool opening = level.last == Sink::kNoNode;
          const bool property = repairs_ != nullptr && opening && PropertyAhead();
          if (repairs_ == nullptr || (opening && levels_.size() == 1 && !property)) {
            StepOver();
            return false;
          }
          if (property) {
            // A "(" without its ";": the node it opens begins here.
            repairs_->missingNodes = true;
            begun_ = true;
            level.last = level.attach != Sink::kNoNode ? sink_->NewVariation(level.attach)
                                                       : sink_->NewRoot();
            if (!ParseNodeBody(level.last)) return false;
            break;
          }
          SkipStray();
          break;
        }
      }
    }
    return implied && levels_.size() == 1 && levels_.back().last != Sink::kNoNode;
  }

  // Parses the node at the cursor, just after its ";", when it is the usual
  // node of a game record: one property of one letter and one plain value,
  // ";B[pd]", followed by the next node or the end of a tree. False, the
  // cursor unmoved, for any other: ParseNodeBody reads it, as it would this.
  bool ParseMoveNode(Node node) {
    const Char* p = cursor_;
    if (end_ - p < 4 || !InClass(p[0], kLetter) || Unit(p[1]) != '[') return false;
    const Char* const value = p + 2;
    const Char* const close = SkipPlainText(value, end_);
    if (close == end_ || Unit(*close) != ']') return false;
    p = close + 1;
    while (p != end_ && InClass(*p, kWhitespace)) ++p;
    if (p == end_ || !InClass(*p, kNodeEnd)) return false;
    const RawValue<Char> values[] = {{value, close, false}};
    sink_->AddProperty(node, std::basic_string_view<Char>(cursor_, 1),
                       std::span<const RawValue<Char>>(values));
    cursor_ = p;
    return true;
  }

  // Whether a property begins at the cursor: letters of either case, white
  // space allowed between them, up to a "[".
  bool PropertyAhead() const {
    const Char* p = cursor_;
    while (p != end_ && InClass(*p, kLetter | kLowerLetter | kWhitespace)) ++p;
    return p != cursor_ && p != end_ && Unit(*p) == '[' && !InClass(*cursor_, kWhitespace);
  }

  // Steps over a character that belongs to no node or property when
  // recovering: a value whole, anything else alone.
  void SkipStray() {
    repairs_->strayBytes = true;
    if (Unit(*cursor_) != '[') {
      StepOver();
      return;
    }
    const ValueEnd<Char> value = FindValueEnd(grouping_, cursor_ + 1, end_);
    cursor_ = value.close != nullptr ? value.close + 1 : end_;
  }

  // Upper-case letters, white space between them allowed, up to the first "[".
  bool ParseProperty(Node node) {
    // Usually the letters stand together right before the "[" and are taken
    // where they stand.
    const Char* const start = cursor_;
    while (cursor_ != end_ && InClass(*cursor_, kLetter)) ++cursor_;
    if (cursor_ != end_ && Unit(*cursor_) == '[') {
      return ParseValues(
          node, std::basic_string_view<Char>(start, static_cast<std::size_t>(cursor_ - start)));
    }
    identifier_.assign(start, cursor_);
    while (SkipWhitespace()) {
      const char32_t c = Unit(*cursor_);
      if (c == '[') return ParseValues(node, identifier_);
      if (repairs_ != nullptr && InClass(*cursor_, kLowerLetter)) {
        repairs_->lowerCaseNames = true;
        ++cursor_;
        continue;
      }
      if (!InClass(*cursor_, kLetter)) {
        if (repairs_ == nullptr) return false;
        // Letters without a value, skipped; the parse goes on at what
        // follows them.
        repairs_->strayBytes = true;
        return true;
      }
      identifier_.push_back(*cursor_);
      ++cursor_;
    }
    return false;
  }

  // The values of one property, the cursor on its first "[". Inside a value
  // "[" is text and a backslash takes the character after it into the value.
  // Between values white space is skipped and "]" adds an empty value; any
  // other character, or a backslash (which is consumed), completes the
  // property. The text ending anywhere here fails it.
  bool ParseValues(Node node, std::basic_string_view<Char> identifier) {
    values_.clear();
    for (;;) {
      // Inside a value: the runs up to the next character that means something.
      const Char* const start = ++cursor_;
      const ValueEnd<Char> valueEnd = FindValueEnd(grouping_, start, end_);
      if (valueEnd.close == nullptr) {
        // The value runs to the end of the text: what follows its "[" is its
        // text, never a game tree to scan for.
        cursor_ = end_;
        return false;
      }
      cursor_ = valueEnd.close;
      values_.push_back(RawValue<Char>{start, cursor_, valueEnd.escaped});
      ++cursor_;
      // Between values.
      for (;;) {
        if (!SkipWhitespace()) {
          // The text ends after a value: the property is complete where a
          // tree may close at the end.
          return completeAtEnd_ && Complete(node, identifier);
        }
        const char32_t c = Unit(*cursor_);
        if (c == '[') break;
        if (c == ']') {
          values_.push_back(RawValue<Char>{cursor_, cursor_, false});
          ++cursor_;
          continue;
        }
        if (c == '\\' && ++cursor_ == end_) return false;
        return Complete(node, identifier);
      }
    }
  }

  bool Complete(Node node, std::basic_string_view<Char> identifier) {
    // An identifier of lower-case letters alone names nothing once they are
    // dropped.
    if (identifier.empty()) return true;
    sink_->AddProperty(node, identifier, std::span<const RawValue<Char>>(values_));
    return true;
  }

  static constexpr char32_t kByteOrderMark = 0xFEFF;

  const Char* begin_;
  const Char* cursor_;
  const Char* end_;
  Sink* sink_;
  ByteGrouping grouping_;
  std::vector<Level> levels_;
  bool begun_ = false;          // the tree being parsed has a node
  bool endedOpen_ = false;      // see EndedOpen
  bool implied_ = false;        // the next tree opens at a leading ";"
  bool completeAtEnd_ = false;  // the tree being parsed may close at the end
  Repairs* repairs_ = nullptr;  // see Recover
  std::basic_string<Char> identifier_;
  std::vector<RawValue<Char>> values_;
};

// The charset a text's first node declares: the first CA value of the node
// after the first "(" that is followed by ";" and a node that parses byte by
// byte. A CA that names a multi-byte charset counts even when the rest of its
// node does not parse, for its trail bytes may be what broke that parse. No
// later node or game is looked at. Empty without such a node or such a CA.
std::string DeclaredCharset(std::string_view bytes);

// True when a game tree of "bytes" parses with the bytes grouped as
// "grouping" says.
bool HoldsGameTree(std::string_view bytes, ByteGrouping grouping);

// How a file's bytes are read.
struct Reading {
  TextEncoding encoding;
  // The name the reading came from: "UTF-8", the CA value that declared the
  // charset, or the assumed or detected charset's name; empty for the system
  // code page.
  std::string label;
  CharsetDetection detection;
};

// Decides how a file's bytes are read, alike on every platform:
// - as UTF-8 when they begin with a UTF-8 byte-order mark or their first node
//   declares UTF-8 (NamesUtf8), and they are well-formed UTF-8;
// - else byte for byte, grouped as the declared charset says, when the first
//   node declares a known one (FindCharset);
// - else byte for byte in "assumed", when it is given and the file declares
//   no charset and is not well-formed UTF-8; when "assumed" asks for
//   detection, in the charset DetectCharset finds, for such a file and for
//   one whose first node declares UTF-8 but that is not well-formed UTF-8;
// - else, for a file that names no charset and is not well-formed UTF-8, when
//   no "assumed" is given, byte for byte in the multi-byte charset of
//   "systemCodePage" (CodePageCharset: 932, 936, 949, 950; Windows gives its
//   ANSI code page, other systems 0), as if it were
//   "assumed", when its bytes are valid in it (IsValidIn) and a game tree
//   parses in it, so that the assumption never loses a game that reading
//   byte for byte keeps;
// - else byte for byte in the system code page, which is never converted.
// A file that claims UTF-8 but is not keeps an 8-bit reading, which passes
// its bytes through unchanged instead of replacing them.
Reading ChooseReading(std::string_view bytes, const AssumedCharset* assumed,
                      unsigned systemCodePage);

}  // namespace varnoket::grammar

#endif  // VARNOKET_SGF_SGF_PARSER_H_
