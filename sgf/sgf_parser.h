#ifndef VARNOKET_SGF_SGF_PARSER_H_
#define VARNOKET_SGF_SGF_PARSER_H_

// The tolerant SGF grammar, shared by the reader that builds a GameRecord and
// by the cleaner that keeps only what it needs of the first game. The parser
// knows the grammar and nothing of what is built: it hands nodes and complete
// properties to a sink, a template parameter, so no call is virtual.
//
// It works on code units of either width: bytes, where the text's code page
// maps every byte to itself (ISO-8859-1) or keeps ASCII bytes apart from the
// rest (well-formed UTF-8), or UTF-16 text decoded in any other code page.
// Every character the grammar looks at is ASCII, so both give the same parse.
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
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/text_codec.h"
#include "sgf/charset.h"
#include "sgf/property_catalogue.h"

namespace varnoket::grammar {

// A code unit as a number, whatever the width and signedness of its type.
template <typename Char>
constexpr char32_t Unit(Char c) {
  return static_cast<std::make_unsigned_t<Char>>(c);
}

// The classes of the characters the grammar looks at, all ASCII, as bits.
enum CharClass : unsigned char {
  kWhitespace = 1,  // TAB, LF, VT, CR and SPACE; nothing else
  kLetter = 2,      // "A" to "Z", the letters of identifiers
  kValueStop = 4,   // "]" and the backslash, which end a run of value text
  kNodeEnd = 8,     // "(", ")" and ";", which end a node
};

inline constexpr auto kCharClasses = [] {
  std::array<unsigned char, 256> classes{};
  for (const char c : {'\t', '\n', '\v', '\r', ' '})
    classes[static_cast<unsigned char>(c)] |= kWhitespace;
  for (char c = 'A'; c <= 'Z'; ++c) classes[static_cast<unsigned char>(c)] |= kLetter;
  for (const char c : {']', '\\'}) classes[static_cast<unsigned char>(c)] |= kValueStop;
  for (const char c : {'(', ')', ';'}) classes[static_cast<unsigned char>(c)] |= kNodeEnd;
  return classes;
}();

// True when the code unit is an ASCII character of class "charClass".
template <typename Char>
constexpr bool Is(Char c, CharClass charClass) {
  const char32_t unit = Unit(c);
  return unit < kCharClasses.size() && (kCharClasses[unit] & charClass) != 0;
}

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

// Appends the value without its escaping backslashes: each one is dropped and
// the code unit after it kept, whatever it is. "Text" is any string type of
// Char.
template <typename Char, typename Text>
void AppendUnescaped(const RawValue<Char>& value, Text* out) {
  if (!value.escaped) {
    out->append(value.begin, value.end);
    return;
  }
  for (const Char* p = value.begin; p != value.end; ++p) {
    if (Unit(*p) == '\\') ++p;  // the value never ends right after a backslash
    out->push_back(*p);
  }
}

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

  // "*sink" must outlive the parser; the text must outlive both.
  Parser(const Char* begin, const Char* end, Sink* sink) : cursor_(begin), end_(end), sink_(sink) {}

  const Char* position() const { return cursor_; }

  // Steps over the character at the cursor, which must exist.
  void StepOver() { ++cursor_; }

  // Steps over white space; true when a character remains.
  bool SkipWhitespace() {
    while (cursor_ != end_ && Is(*cursor_, kWhitespace)) ++cursor_;
    return cursor_ != end_;
  }

  // Steps over text up to the next "(" and over that too, setting "*at" to it;
  // false when the text ends first.
  bool NextOpening(const Char** at) {
    while (SkipWhitespace()) {
      const Char* here = cursor_++;
      if (Unit(*here) == '(') {
        *at = here;
        return true;
      }
    }
    return false;
  }

  // Parses one game tree, the cursor just after its "(". True when the tree
  // closed, the cursor after its ")"; false where the parse failed, the cursor
  // where scanning goes on.
  bool ParseGameTree() {
    levels_.clear();
    levels_.push_back(Level{Sink::kNoNode, Sink::kNoNode});
    while (SkipWhitespace()) {
      Level& level = levels_.back();
      switch (Unit(*cursor_)) {
        case ';': {
          ++cursor_;
          Node node = Sink::kNoNode;
          if (level.last != Sink::kNoNode) {
            node = sink_->NewChild(level.last);
          } else if (level.attach != Sink::kNoNode) {
            node = sink_->NewVariation(level.attach);
          } else {
            node = sink_->NewRoot();
          }
          level.last = node;
          if (!ParseNodeBody(node)) return false;
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
        default:
          ++cursor_;
          return false;
      }
    }
    return false;
  }

  // Parses the properties of one node, the cursor just after its ";". True
  // when the node ends at "(", ")" or ";", which is left to the caller.
  bool ParseNodeBody(Node node) {
    while (SkipWhitespace()) {
      const char32_t c = Unit(*cursor_);
      if (Is(*cursor_, kNodeEnd)) return true;
      if (c == '[' || c == ']') return false;  // a value needs an identifier
      if (!ParseProperty(node)) return false;
    }
    return false;
  }

 private:
  // One entry per open "(" of the tree: the last node of that sequence, and
  // the node its first node hangs under.
  struct Level {
    Node last;
    Node attach;
  };

  // Upper-case letters, white space between them allowed, up to the first "[".
  bool ParseProperty(Node node) {
    // Usually the letters stand together right before the "[" and are taken
    // where they stand.
    const Char* const start = cursor_;
    while (cursor_ != end_ && Is(*cursor_, kLetter)) ++cursor_;
    if (cursor_ != end_ && Unit(*cursor_) == '[') {
      return ParseValues(
          node, std::basic_string_view<Char>(start, static_cast<std::size_t>(cursor_ - start)));
    }
    identifier_.assign(start, cursor_);
    while (SkipWhitespace()) {
      const char32_t c = Unit(*cursor_);
      if (c == '[') return ParseValues(node, identifier_);
      if (!Is(*cursor_, kLetter)) return false;
      identifier_.push_back(*cursor_);
      ++cursor_;
    }
    return false;
  }

  // The values of one property, the cursor on its first "[". Inside a value
  // "[" is text and a backslash takes the unit after it into the value.
  // Between values white space is skipped and "]" adds an empty value; any
  // other character, or a backslash (which is consumed), completes the
  // property. The text ending anywhere here fails it.
  bool ParseValues(Node node, std::basic_string_view<Char> identifier) {
    values_.clear();
    for (;;) {
      // Inside a value: the runs up to the next character that means something.
      const Char* const start = ++cursor_;
      bool escaped = false;
      for (;;) {
        while (cursor_ != end_ && !Is(*cursor_, kValueStop)) ++cursor_;
        if (cursor_ == end_) return false;
        if (Unit(*cursor_) == ']') break;
        escaped = true;
        if (++cursor_ == end_) return false;
        ++cursor_;
      }
      values_.push_back(RawValue<Char>{start, cursor_, escaped});
      ++cursor_;
      // Between values.
      for (;;) {
        if (!SkipWhitespace()) return false;
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
    sink_->AddProperty(node, identifier, std::span<const RawValue<Char>>(values_));
    return true;
  }

  const Char* cursor_;
  const Char* end_;
  Sink* sink_;
  std::vector<Level> levels_;
  std::basic_string<Char> identifier_;
  std::vector<RawValue<Char>> values_;
};

// The first value of the first CA property of a node, for the code-page probe.
template <typename Char>
class CharsetProbe {
 public:
  struct Node {
    friend bool operator==(Node, Node) = default;
    bool exists;
  };
  static constexpr Node kNoNode{false};

  Node NewRoot() { return Node{true}; }
  Node NewChild(Node) { return Node{true}; }
  Node NewVariation(Node) { return Node{true}; }
  void AddProperty(Node, std::basic_string_view<Char> identifier,
                   std::span<const RawValue<Char>> values) {
    if (found_ || identifier.size() != 2 || Unit(identifier[0]) != 'C' ||
        Unit(identifier[1]) != 'A') {
      return;
    }
    found_ = true;
    AppendUnescaped(values.front(), &charset_);
  }

  void Clear() {
    found_ = false;
    charset_.clear();
  }
  const std::basic_string<Char>& charset() const { return charset_; }

 private:
  bool found_ = false;
  std::basic_string<Char> charset_;
};

// Whether the text declares UTF-8, decided by the first "(" that is followed
// by ";" and a node that parses: true when that node's first CA value names
// UTF-8 (NamesUtf8). No later node or game is looked at; without such a node,
// false.
template <typename Char>
bool DeclaresUtf8(const Char* begin, const Char* end) {
  CharsetProbe<Char> probe;
  Parser<Char, CharsetProbe<Char>> parser(begin, end, &probe);
  const Char* open = nullptr;
  while (parser.NextOpening(&open)) {
    if (!parser.SkipWhitespace() || Unit(*parser.position()) != ';') continue;
    parser.StepOver();
    probe.Clear();
    // A node that does not parse decides nothing; scanning goes on where its
    // parse stopped.
    if (!parser.ParseNodeBody(typename CharsetProbe<Char>::Node{true})) continue;
    // Only ASCII can match, so units widen one for one.
    std::u16string charset;
    for (const Char c : probe.charset()) charset.push_back(static_cast<char16_t>(Unit(c)));
    return NamesUtf8(charset);
  }
  return false;
}

// Decides how a file's bytes are read. "*utf8" is set for UTF-8: the bytes
// begin with a UTF-8 byte-order mark or declare UTF-8 in their first node, and
// they are well-formed UTF-8. A file that claims UTF-8 but is not keeps its
// 8-bit reading, which passes its bytes through unchanged instead of replacing
// them. Where the system code page is not ISO-8859-1, "*decoded" receives the
// 8-bit reading, which the probe needs and an 8-bit parse uses. Returns false
// when that decoding fails.
inline bool ChooseEncoding(std::string_view bytes, std::u16string* decoded, bool* utf8) {
  decoded->clear();
  if (!platform::kSystemCodePageIsLatin1 && !platform::DecodeSystemCodePage(bytes, decoded)) {
    return false;
  }
  const bool byteOrderMark = bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
                             static_cast<unsigned char>(bytes[1]) == 0xBB &&
                             static_cast<unsigned char>(bytes[2]) == 0xBF;
  bool declared = byteOrderMark;
  if (!declared) {
    declared = platform::kSystemCodePageIsLatin1
                   ? DeclaresUtf8(bytes.data(), bytes.data() + bytes.size())
                   : DeclaresUtf8(decoded->data(), decoded->data() + decoded->size());
  }
  *utf8 = declared && platform::IsWellFormedUtf8(bytes);
  return true;
}

}  // namespace varnoket::grammar

#endif  // VARNOKET_SGF_SGF_PARSER_H_
