// SPDX-License-Identifier: MIT
// Cleaning in one pass: the reader's grammar feeding a sink that keeps only
// the first accepted tree's root information and main line (the collected
// form of the cleaned game), then the cleaned record written straight from
// positions in the input (its one emitter).
#include "clean/clean_bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sgf/charset.h"
#include "sgf/sgf_parser.h"
#include "sgf/sgf_text.h"
#include "sgf/utf8.h"

namespace varnoket {
namespace {

using grammar::RawValue;

// A value by its position in the text, which is never longer than
// kMaxConvertibleLength, so 32 bits hold every offset and size.
class ValueSpan {
 public:
  ValueSpan() = default;
  ValueSpan(std::size_t offset, std::size_t size, bool escaped)
      : offset_(static_cast<std::uint32_t>(offset)),
        sizeAndFlag_(static_cast<std::uint32_t>(size) | (escaped ? kEscaped : 0)) {}
  template <typename Char>
  ValueSpan(const Char* text, const RawValue<Char>& value)
      : ValueSpan(static_cast<std::size_t>(value.begin - text), value.size(), value.escaped) {}

  bool present() const { return offset_ != kAbsent; }
  // Absent and empty values read the same, as in GameNode::Value.
  bool empty() const { return size() == 0; }
  std::size_t offset() const { return offset_; }
  std::size_t size() const { return sizeAndFlag_ & ~kEscaped; }
  bool escaped() const { return (sizeAndFlag_ & kEscaped) != 0; }

 private:
  static constexpr std::uint32_t kAbsent = std::numeric_limits<std::uint32_t>::max();
  static constexpr std::uint32_t kEscaped = 0x80000000u;

  std::uint32_t offset_ = kAbsent;
  std::uint32_t sizeAndFlag_ = 0;
};

// Where a value starts in the text, just after its "[": all that a move of
// the main line keeps, so that a long game costs 8 bytes a move. The value
// ends where grammar::FindValueEnd says, which is found again when it is
// written; the text is that of a tree that parsed, so it is there.
class ValueStart {
 public:
  ValueStart() = default;
  template <typename Char>
  ValueStart(const Char* text, const RawValue<Char>& value)
      : offset_(static_cast<std::uint32_t>(value.begin - text)) {}

  bool present() const { return offset_ != kAbsent; }
  std::size_t offset() const { return offset_; }

 private:
  static constexpr std::uint32_t kAbsent = std::numeric_limits<std::uint32_t>::max();

  std::uint32_t offset_ = kAbsent;
};

// What cleaning keeps of one game tree while it is parsed: the first value of
// the first occurrence of each root property, every value of the root's first
// AB, and the first B and W values of every node on the main line. The main
// line is the chain of first children from the root; a node that continues a
// sequence after variations cuts it back to the node before.
template <typename Char>
class MainLineSink {
 public:
  // A node's index on the main line, or kOffMainLine.
  using Node = std::int32_t;
  static constexpr Node kNoNode = std::numeric_limits<Node>::min();
  static constexpr Node kOffMainLine = -1;

  struct Move {
    ValueStart black;
    ValueStart white;
  };

  // Room for a main line as dense as ";B[aa]" over the whole text is set
  // aside at once, so that a long game is not copied as its line grows; room
  // that stays unused is address space, not memory.
  MainLineSink(const Char* text, std::size_t size)
      : text_(text), catalogue_(PropertyCatalogue::Instance()) {
    mainLine_.reserve(size / 6 + 1);
  }

  // Forgets the previous tree, which did not parse.
  void BeginTree() {
    mainLine_.clear();
    root_.fill(ValueSpan());
    rootStones_.clear();
  }

  Node NewRoot() {
    mainLine_.emplace_back();
    return 0;
  }

  Node NewChild(Node last) {
    if (last < 0) return kOffMainLine;
    // The nodes after "last" were in its variations, which drop out.
    const std::size_t kept = static_cast<std::size_t>(last) + 1;
    if (mainLine_.size() != kept) mainLine_.resize(kept);
    mainLine_.emplace_back();
    return last + 1;
  }

  Node NewVariation(Node parent) {
    // Only a childless node's first variation continues its line, and on the
    // main line only the last node is childless.
    if (parent < 0 || static_cast<std::size_t>(parent) + 1 != mainLine_.size()) return kOffMainLine;
    mainLine_.emplace_back();
    return parent + 1;
  }

  void AddProperty(Node node, std::basic_string_view<Char> identifier,
                   std::span<const RawValue<Char>> values) {
    if (node < 0) return;
    Move& move = mainLine_[static_cast<std::size_t>(node)];
    if (identifier.size() == 1) {
      // Below the root only moves count; they need no catalogue.
      const char32_t letter = Unit(identifier[0]);
      if (letter == 'B' && !move.black.present()) move.black = ValueStart(text_, values.front());
      if (letter == 'W' && !move.white.present()) move.white = ValueStart(text_, values.front());
    }
    if (node != 0) return;
    const PropertyDescriptor* row = grammar::FindDescriptor(catalogue_, identifier);
    if (row == nullptr) return;
    ValueSpan& kept = root_[static_cast<std::size_t>(row->id)];
    if (kept.present()) return;
    kept = ValueSpan(text_, values.front());
    if (row->id == prop::AB) {
      for (const RawValue<Char>& value : values) rootStones_.emplace_back(text_, value);
    }
  }

  const std::vector<Move>& mainLine() const { return mainLine_; }
  const ValueSpan& root(PropertyId id) const { return root_[static_cast<std::size_t>(id)]; }
  const std::vector<ValueSpan>& rootStones() const { return rootStones_; }

 private:
  const Char* text_;
  const PropertyCatalogue& catalogue_;
  std::vector<Move> mainLine_;
  std::array<ValueSpan, prop::kCount + 1> root_;
  std::vector<ValueSpan> rootStones_;
};

// Counts the code units the cleaned record takes. Like UnitWriter, it takes
// units as a string of Char does.
template <typename Char>
class UnitCounter {
 public:
  void push_back(Char) { ++size_; }
  void append(const Char* begin, const Char* end) {
    size_ += static_cast<std::size_t>(end - begin);
  }
  template <std::size_t N>
  void PutAscii(const char (&)[N]) {
    size_ += N - 1;
  }
  std::size_t size() const { return size_; }

 private:
  std::size_t size_ = 0;
};

// Writes the cleaned record into room that UnitCounter measured.
template <typename Char>
class UnitWriter {
 public:
  explicit UnitWriter(Char* out) : out_(out) {}
  void push_back(Char c) { *out_++ = c; }
  void append(const Char* begin, const Char* end) {
    const auto size = static_cast<std::size_t>(end - begin);
    // Most values are a move's two letters, too short for a call to pay.
    if (size <= 4) {
      for (std::size_t i = 0; i < size; ++i) out_[i] = begin[i];
    } else {
      std::char_traits<Char>::copy(out_, begin, size);
    }
    out_ += size;
  }
  template <std::size_t N>
  void PutAscii(const char (&text)[N]) {
    for (std::size_t i = 0; i + 1 < N; ++i) out_[i] = static_cast<Char>(text[i]);
    out_ += N - 1;
  }

 private:
  Char* out_;
};

// Writes the cleaned record (see CleanSgfBytes) in the layout of SaveToBytes:
// "(;", the root's properties (GM, FF, CA, the copied game information in
// table order, HA, AB), then one line per move, and ")". Every value is
// escaped as grammar::AppendEscaped does.
template <typename Char, typename Out>
class CleanedWriter {
 public:
  // "text" to "textEnd" is the parsed text.
  CleanedWriter(const Char* text, const Char* textEnd, const MainLineSink<Char>& game,
                const grammar::Reading& reading, Out* out)
      : text_(text),
        textEnd_(textEnd),
        game_(game),
        reading_(reading),
        out_(out),
        catalogue_(PropertyCatalogue::Instance()) {}

  void Write() {
    out_->PutAscii("(;GM[1]FF[4]");
    // The character set travels with the text: the root's own CA, or the
    // name of the reading, which is ASCII without "]" or "\\".
    const ValueSpan& rootCharset = game_.root(prop::CA);
    const std::u16string root = Widened(rootCharset);
    const std::u16string charset = CharsetToDeclare(root, reading_.encoding, reading_.label);
    if (charset == root) {
      if (!rootCharset.empty()) Property(prop::CA, rootCharset);
    } else if (!charset.empty()) {
      out_->PutAscii("CA[");
      for (const char16_t c : charset) out_->push_back(static_cast<Char>(c));
      out_->push_back(static_cast<Char>(']'));
    }
    for (const PropertyId id : kCopiedRootProperties) {
      const ValueSpan& value = game_.root(id);
      if (!value.empty()) Property(id, value);
    }
    const ValueSpan& handicap = game_.root(prop::HA);
    if (!handicap.empty()) {
      Property(prop::HA, handicap);
      if (game_.root(prop::AB).present()) {
        Identifier(prop::AB);
        for (const ValueSpan& stone : game_.rootStones()) Value(stone);
      }
    }
    PropertyId last = 0;
    for (const auto& move : game_.mainLine()) {
      if (!Empty(move.black)) Move(prop::B, prop::W, move.black, &last);
      if (!Empty(move.white)) Move(prop::W, prop::B, move.white, &last);
    }
    out_->push_back(static_cast<Char>(')'));
  }

 private:
  // One move on a line of its own, after a pass of the other colour when the
  // previous move was of the same colour.
  void Move(PropertyId colour, PropertyId other, ValueStart value, PropertyId* last) {
    if (*last == colour) {
      if (other == prop::B) {
        out_->PutAscii("\r\n;B[]");
      } else {
        out_->PutAscii("\r\n;W[]");
      }
    }
    if (colour == prop::B) {
      out_->PutAscii("\r\n;B");
    } else {
      out_->PutAscii("\r\n;W");
    }
    Value(value);
    *last = colour;
  }

  void Property(PropertyId id, const ValueSpan& value) {
    Identifier(id);
    Value(value);
  }

  void Identifier(PropertyId id) {
    for (const char16_t c : catalogue_.FindById(id)->identifier) {
      out_->push_back(static_cast<Char>(c));
    }
  }

  bool Empty(ValueStart value) const {
    return !value.present() || Unit(text_[value.offset()]) == ']';
  }

  void Value(ValueStart value) {
    const Char* const begin = text_ + value.offset();
    const grammar::ValueEnd<Char> end =
        grammar::FindValueEnd(reading_.encoding.grouping, begin, textEnd_);
    Value(begin, end.close, end.escaped);
  }

  void Value(const ValueSpan& value) {
    const Char* const begin = text_ + value.offset();
    Value(begin, begin + value.size(), value.escaped());
  }

  // "[value]" escaped, from the value's text in the input.
  void Value(const Char* begin, const Char* end, bool escaped) {
    out_->push_back(static_cast<Char>('['));
    if (!escaped) {
      // Without an escaping backslash the text holds no "]" or backslash of
      // its own, and each two-byte run in it ends inside it: it is its own
      // escaped form.
      out_->append(begin, end);
    } else {
      unescaped_.clear();
      grammar::AppendUnescaped(reading_.encoding.grouping, begin, end, &unescaped_);
      grammar::AppendEscaped(reading_.encoding.grouping, unescaped_.data(),
                             unescaped_.data() + unescaped_.size(), out_);
    }
    out_->push_back(static_cast<Char>(']'));
  }

  // The stored value as UTF-16 for NamesUtf8, which only matches ASCII, so
  // units widen one for one.
  std::u16string Widened(const ValueSpan& value) const {
    std::u16string wide;
    if (!value.present()) return wide;
    std::basic_string<Char> stored;
    grammar::AppendUnescaped(reading_.encoding.grouping, text_ + value.offset(),
                             text_ + value.offset() + value.size(), &stored);
    for (const Char c : stored) wide.push_back(static_cast<char16_t>(Unit(c)));
    return wide;
  }

  const Char* text_;
  const Char* textEnd_;
  const MainLineSink<Char>& game_;
  const grammar::Reading& reading_;
  Out* out_;
  const PropertyCatalogue& catalogue_;
  std::basic_string<Char> unescaped_;
};

// The number of UTF-16 units in well-formed UTF-8 bytes.
std::size_t Utf16Length(std::string_view bytes) {
  std::size_t units = 0;
  for (const char byte : bytes) {
    const auto b = static_cast<unsigned char>(byte);
    if ((b & 0xC0) != 0x80) ++units;  // each character's first byte
    if (b >= 0xF0) ++units;           // a surrogate pair
  }
  return units;
}

// Parses until the first tree is accepted and writes what cleaning keeps of it.
// The bytes are read byte for byte or, when UTF-8, well-formed UTF-8, so the
// output bytes are the input's.
CleanStatus CleanText(const char* begin, const char* end, const grammar::Reading& reading,
                      std::string* out) {
  const bool utf8 = reading.encoding.form == TextEncoding::Form::Utf8;
  MainLineSink<char> game(begin, static_cast<std::size_t>(end - begin));
  grammar::Parser<char, MainLineSink<char>> parser(begin, end, &game, reading.encoding.grouping);
  const char* open = nullptr;
  bool accepted = false;
  while (!accepted && parser.NextOpening(&open)) {
    game.BeginTree();
    accepted = parser.ParseGameTree();
  }
  if (!accepted) return parser.EndedOpen() ? CleanStatus::CutShort : CleanStatus::NoGameFound;

  UnitCounter<char> counter;
  CleanedWriter<char, UnitCounter<char>>(begin, end, game, reading, &counter).Write();
  out->resize(counter.size());
  UnitWriter<char> writer(out->data());
  CleanedWriter<char, UnitWriter<char>>(begin, end, game, reading, &writer).Write();
  // The record path converts through UTF-16 and refuses text longer than that.
  const std::size_t units =
      utf8 && out->size() > kMaxConvertibleLength ? Utf16Length(*out) : out->size();
  if (units > kMaxConvertibleLength) {
    out->clear();
    return CleanStatus::TooLarge;
  }
  return CleanStatus::Cleaned;
}

}  // namespace

CleanStatus CleanSgfBytes(std::string_view input, std::string* out, const AssumedCharset* assumed,
                          CharsetDetection* detection, unsigned systemCodePage) {
  out->clear();
  if (detection != nullptr) *detection = CharsetDetection();
  if (input.size() > kMaxConvertibleLength) return CleanStatus::NoGameFound;
  // Memory may run out anywhere on the way (a vector or string that cannot
  // grow throws std::bad_alloc or std::length_error); the file then fails
  // alone.
  try {
    const grammar::Reading reading = grammar::ChooseReading(input, assumed, systemCodePage);
    if (detection != nullptr) *detection = reading.detection;
    return CleanText(input.data(), input.data() + input.size(), reading, out);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  out->clear();
  return CleanStatus::OutOfMemory;
}

}  // namespace varnoket
