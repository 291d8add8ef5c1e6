// SPDX-License-Identifier: MIT
// Cleaning in one pass: the reader's grammar feeding a sink that keeps only
// the first accepted tree's root information and main line (the collected
// form of the cleaned game), then the cleaned record written straight from
// positions in the input (its one emitter).
#include "clean/clean_record.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
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
// the main line keeps, so that a long game costs 4 bytes a move. The value
// ends where grammar::FindValueEnd says, which is found again when it is
// written; the text is that of a tree that parsed, so it is there. An offset
// is below 2^31, which leaves a bit for its holder to mark.
class ValueStart {
 public:
  ValueStart() = default;
  template <typename Char>
  ValueStart(const Char* text, const RawValue<Char>& value, bool marked = false)
      : offset_(static_cast<std::uint32_t>(value.begin - text) | (marked ? kMark : 0)) {}

  bool present() const { return offset_ != kAbsent; }
  std::size_t offset() const { return offset_ & ~kMark; }
  bool marked() const { return present() && (offset_ & kMark) != 0; }

 private:
  static constexpr std::uint32_t kAbsent = std::numeric_limits<std::uint32_t>::max();
  static constexpr std::uint32_t kMark = 0x80000000u;

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

  // Room for as many nodes as the text has ";" is set aside at once for a
  // long text, so that a long game is not copied as its line grows, and no
  // more than that; a short one takes room for a node per 4 units (a move
  // takes at least that: ";B[]") and grows if it needs more.
  MainLineSink(const Char* text, std::size_t size)
      : text_(text), catalogue_(PropertyCatalogue::Instance()) {
    constexpr std::size_t kCountedSize = 1 << 20;
    const std::size_t nodes =
        size > kCountedSize ? static_cast<std::size_t>(std::count(text, text + size, Char(';')))
                            : size / 4;
    mainLine_.reserve(nodes + 1);
  }

  // Forgets the previous tree, which did not parse.
  void BeginTree() {
    mainLine_.clear();
    seconds_.clear();
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
    if (mainLine_.size() != kept) {
      mainLine_.resize(kept);
      while (!seconds_.empty() && seconds_.back().first >= last + 1) seconds_.pop_back();
    }
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

  // Inlined: it takes every move of the game; the root's properties go on
  // to a call of their own.
  [[gnu::always_inline]] void AddProperty(Node node, std::basic_string_view<Char> identifier,
                                          std::span<const RawValue<Char>> values) {
    if (node < 0) return;
    ValueStart& first = mainLine_[static_cast<std::size_t>(node)];
    const char32_t letter = identifier.size() == 1 ? Unit(identifier[0]) : 0;
    if (letter == 'B' || letter == 'W') {
      // Below the root only moves count; they need no catalogue. The node's
      // first move is marked when white; the first of the other colour after
      // it is a second.
      const bool white = letter == 'W';
      if (!first.present()) {
        first = ValueStart(text_, values.front(), white);
      } else if (first.marked() != white && (seconds_.empty() || seconds_.back().first != node)) {
        seconds_.emplace_back(node, ValueStart(text_, values.front()));
      }
    }
    if (node == 0) AddRootProperty(identifier, values);
  }

  [[gnu::noinline]] void AddRootProperty(std::basic_string_view<Char> identifier,
                                         std::span<const RawValue<Char>> values) {
    const PropertyDescriptor* row = grammar::FindDescriptor(catalogue_, identifier);
    if (row == nullptr) return;
    ValueSpan& kept = root_[static_cast<std::size_t>(row->id)];
    if (kept.present()) return;
    kept = ValueSpan(text_, values.front());
    if (row->id == prop::AB) {
      for (const RawValue<Char>& value : values) rootStones_.emplace_back(text_, value);
    }
  }

  // Calls "visit(black, white)" for each node of the main line, in order,
  // with the first value of its first B and of its first W (absent when none).
  template <typename Visit>
  void ForEachMove(Visit visit) const {
    auto second = seconds_.begin();
    for (std::size_t node = 0; node < mainLine_.size(); ++node) {
      const ValueStart first = mainLine_[node];
      ValueStart other;
      if (second != seconds_.end() && static_cast<std::size_t>(second->first) == node) {
        other = (second++)->second;
      }
      if (first.marked()) {
        visit(other, first);
      } else {
        visit(first, other);
      }
    }
  }
  const ValueSpan& root(PropertyId id) const { return root_[static_cast<std::size_t>(id)]; }
  const std::vector<ValueSpan>& rootStones() const { return rootStones_; }

 private:
  const Char* text_;
  const PropertyCatalogue& catalogue_;
  std::vector<ValueStart> mainLine_;  // each node's first move
  // The first move of the other colour in a node that holds both, by node.
  std::vector<std::pair<Node, ValueStart>> seconds_;
  std::array<ValueSpan, prop::kCount + 1> root_;
  std::vector<ValueSpan> rootStones_;
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

// Counts the code units the cleaned record takes. Like UnitWriter, it takes
// units as a string of Char does; "kUtf16": it counts the UTF-16 units of
// UTF-8 bytes instead.
template <typename Char, bool kUtf16 = false>
class UnitCounter {
 public:
  void push_back(Char c) { append(&c, &c + 1); }
  void append(const Char* begin, const Char* end) {
    const auto size = static_cast<std::size_t>(end - begin);
    if constexpr (kUtf16) {
      size_ += Utf16Length(std::string_view(begin, size));
    } else {
      size_ += size;
    }
  }
  template <std::size_t N>
  void PutAscii(const char (&)[N]) {
    size_ += N - 1;
  }
  void PutValue(const Char* begin, const Char* end) {
    append(begin, end);
    size_ += 2;
  }
  std::size_t size() const { return size_; }

 private:
  std::size_t size_ = 0;
};

// Copies [begin, end) to "out" and returns the end of the copy.
template <typename Char>
Char* CopyAt(Char* out, const Char* begin, const Char* end) {
  const auto size = static_cast<std::size_t>(end - begin);
  // Most values are a move's two letters, too short for a call to pay.
  if (size <= 4) {
    for (std::size_t i = 0; i < size; ++i) out[i] = begin[i];
  } else {
    std::char_traits<Char>::copy(out, begin, size);
  }
  return out + size;
}

// Writes ASCII "text" at "out" and returns the end of it.
template <typename Char, std::size_t N>
Char* PutAsciiAt(Char* out, const char (&text)[N]) {
  for (std::size_t i = 0; i + 1 < N; ++i) out[i] = static_cast<Char>(text[i]);
  return out + N - 1;
}

// Writes "[value]" at "out", the value [begin, end) as it stands, and returns
// the end of it.
template <typename Char>
Char* PutValueAt(Char* out, const Char* begin, const Char* end) {
  *out = static_cast<Char>('[');
  out = CopyAt(out + 1, begin, end);
  *out = static_cast<Char>(']');
  return out + 1;
}

// Writes the cleaned record into room that UnitCounter measured.
template <typename Char>
class UnitWriter {
 public:
  explicit UnitWriter(Char* out) : out_(out) {}
  void push_back(Char c) { *out_++ = c; }
  void append(const Char* begin, const Char* end) { out_ = CopyAt(out_, begin, end); }
  template <std::size_t N>
  void PutAscii(const char (&text)[N]) {
    out_ = PutAsciiAt(out_, text);
  }
  void PutValue(const Char* begin, const Char* end) { out_ = PutValueAt(out_, begin, end); }

 private:
  Char* out_;
};

// Hands the cleaned record on in parts of at most kPartBytes as it is
// written; Finish hands on the last.
template <typename Char>
class PartWriter {
 public:
  static constexpr std::size_t kPartBytes = 64 << 10;

  explicit PartWriter(const CleanedParts& part) : part_(part) {}
  void push_back(Char c) {
    if (used_ == kPartBytes) Finish();
    buffer_[used_++] = c;
  }
  void append(const Char* begin, const Char* end) {
    // Room is looked for once where the text fits.
    if (static_cast<std::size_t>(end - begin) <= kPartBytes - used_) {
      used_ = static_cast<std::size_t>(CopyAt(buffer_.data() + used_, begin, end) - buffer_.data());
      return;
    }
    while (begin != end) {
      if (used_ == kPartBytes) Finish();
      const std::size_t size = std::min(static_cast<std::size_t>(end - begin), kPartBytes - used_);
      std::char_traits<Char>::copy(buffer_.data() + used_, begin, size);
      used_ += size;
      begin += size;
    }
  }
  template <std::size_t N>
  void PutAscii(const char (&text)[N]) {
    if (kPartBytes - used_ < N - 1) Finish();
    used_ = static_cast<std::size_t>(PutAsciiAt(buffer_.data() + used_, text) - buffer_.data());
  }
  void PutValue(const Char* begin, const Char* end) {
    if (static_cast<std::size_t>(end - begin) + 2 > kPartBytes - used_) {
      push_back(static_cast<Char>('['));
      append(begin, end);
      push_back(static_cast<Char>(']'));
      return;
    }
    used_ =
        static_cast<std::size_t>(PutValueAt(buffer_.data() + used_, begin, end) - buffer_.data());
  }
  void Finish() {
    if (used_ != 0) part_(std::string_view(buffer_.data(), used_));
    used_ = 0;
  }

 private:
  const CleanedParts& part_;
  std::array<Char, kPartBytes> buffer_;
  std::size_t used_ = 0;
};

// Writes the cleaned record (see CleanRecord) in the layout of SaveToBytes:
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
    game_.ForEachMove([this, &last](ValueStart black, ValueStart white) {
      if (!Empty(black)) Move(prop::B, prop::W, black, &last);
      if (!Empty(white)) Move(prop::W, prop::B, white, &last);
    });
    out_->push_back(static_cast<Char>(')'));
  }

  // The moves Write wrote, the passes it inserted left out.
  std::size_t movesWritten() const { return movesWritten_; }

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
    ++movesWritten_;
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
    // Most values of the main line are a move's two plain letters.
    if (grammar::IsTwoLetterValue(begin, textEnd_)) {
      out_->PutValue(begin, begin + 2);
      return;
    }
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
    if (!escaped) {
      // Without an escaping backslash the text holds no "]" or backslash of
      // its own, and each two-byte run in it ends inside it: it is its own
      // escaped form.
      out_->PutValue(begin, end);
    } else {
      out_->push_back(static_cast<Char>('['));
      unescaped_.clear();
      grammar::AppendUnescaped(reading_.encoding.grouping, begin, end, &unescaped_);
      grammar::AppendEscaped(reading_.encoding.grouping, unescaped_.data(),
                             unescaped_.data() + unescaped_.size(), out_);
      out_->push_back(static_cast<Char>(']'));
    }
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
  std::size_t movesWritten_ = 0;
};

// Parses until the first tree is accepted, keeping what cleaning keeps of it
// in "*game", and mending as "repairs" asks when given; Cleaned when one was.
RecordStatus ParseFirstTree(const char* begin, const char* end, const grammar::Reading& reading,
                            MainLineSink<char>* game, Repairs* repairs) {
  grammar::Parser<char, MainLineSink<char>> parser(begin, end, game, reading.encoding.grouping);
  if (repairs != nullptr) parser.Recover(repairs);
  const char* open = nullptr;
  bool accepted = false;
  // What was mended in the trees that failed counts too: it moved the place
  // where scanning for the next tree went on.
  if (repairs != nullptr) *repairs = Repairs{.utf16 = repairs->utf16};
  while (!accepted && parser.NextOpening(&open)) {
    game->BeginTree();
    accepted = parser.ParseGameTree();
  }
  if (!accepted) return parser.EndedOpen() ? RecordStatus::CutShort : RecordStatus::NoGameFound;
  return RecordStatus::Cleaned;
}

// Whether "units" code units (bytes, or UTF-16 units for UTF-8) are more than
// the record path converts.
bool TooLarge(std::size_t units) { return units > kMaxConvertibleLength; }

// Parses until the first tree is accepted and writes what cleaning keeps of it.
// The bytes are read byte for byte or, when UTF-8, well-formed UTF-8, so the
// output bytes are the input's.
RecordStatus CleanReadRecord(const char* begin, const char* end, const grammar::Reading& reading,
                             std::string* out, Repairs* repairs) {
  const bool utf8 = reading.encoding.form == TextEncoding::Form::Utf8;
  MainLineSink<char> game(begin, static_cast<std::size_t>(end - begin));
  const RecordStatus parsed = ParseFirstTree(begin, end, reading, &game, repairs);
  if (parsed != RecordStatus::Cleaned) return parsed;

  UnitCounter<char> counter;
  CleanedWriter<char, UnitCounter<char>> measure(begin, end, game, reading, &counter);
  measure.Write();
  if (repairs != nullptr && repairs->cutShort) repairs->movesKept = measure.movesWritten();
  out->resize(counter.size());
  UnitWriter<char> writer(out->data());
  CleanedWriter<char, UnitWriter<char>>(begin, end, game, reading, &writer).Write();
  // The record path converts through UTF-16 and refuses text longer than that.
  const std::size_t units = utf8 && TooLarge(out->size()) ? Utf16Length(*out) : out->size();
  if (TooLarge(units)) {
    out->clear();
    return RecordStatus::TooLarge;
  }
  return RecordStatus::Cleaned;
}

// As CleanReadRecord, handing the record on in parts as it is written.
RecordStatus CleanTextInParts(const char* begin, const char* end, const grammar::Reading& reading,
                              const CleanedParts& part, Repairs* repairs) {
  MainLineSink<char> game(begin, static_cast<std::size_t>(end - begin));
  const RecordStatus parsed = ParseFirstTree(begin, end, reading, &game, repairs);
  if (parsed != RecordStatus::Cleaned) return parsed;

  // A cleaned record is never eight times as long as its text (a move takes
  // at most three times its bytes, and a root value twice), so a short text
  // is not measured first.
  if (static_cast<std::size_t>(end - begin) > kMaxConvertibleLength / 8) {
    UnitCounter<char> counter;
    CleanedWriter<char, UnitCounter<char>>(begin, end, game, reading, &counter).Write();
    if (TooLarge(counter.size())) {
      if (reading.encoding.form != TextEncoding::Form::Utf8) return RecordStatus::TooLarge;
      UnitCounter<char, true> units;
      CleanedWriter<char, UnitCounter<char, true>>(begin, end, game, reading, &units).Write();
      if (TooLarge(units.size())) return RecordStatus::TooLarge;
    }
  }
  PartWriter<char> writer(part);
  CleanedWriter<char, PartWriter<char>> written(begin, end, game, reading, &writer);
  written.Write();
  writer.Finish();
  if (repairs != nullptr && repairs->cutShort) repairs->movesKept = written.movesWritten();
  return RecordStatus::Cleaned;
}

// Reads "input" as CleanRecord does and calls "clean(begin, end, reading)"
// where memory may run out.
template <typename Clean>
RecordStatus CleanInput(std::string_view input, const AssumedCharset* assumed,
                        CharsetDetection* detection, unsigned systemCodePage, Clean clean) {
  if (detection != nullptr) *detection = CharsetDetection();
  if (input.size() > kMaxConvertibleLength) return RecordStatus::NoGameFound;
  // Memory may run out anywhere on the way (a vector or string that cannot
  // grow throws std::bad_alloc or std::length_error); the file then fails
  // alone.
  try {
    const grammar::Reading reading = grammar::ChooseReading(input, assumed, systemCodePage);
    if (detection != nullptr) *detection = reading.detection;
    return clean(input.data(), input.data() + input.size(), reading);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return RecordStatus::OutOfMemory;
}

}  // namespace

RecordStatus CleanRecord(std::string_view input, std::string* out, const AssumedCharset* assumed,
                         CharsetDetection* detection, unsigned systemCodePage, Repairs* repairs) {
  out->clear();
  const RecordStatus status = CleanInput(
      input, assumed, detection, systemCodePage,
      [out, repairs](const char* begin, const char* end, const grammar::Reading& reading) {
        return CleanReadRecord(begin, end, reading, out, repairs);
      });
  if (status == RecordStatus::OutOfMemory) out->clear();
  return status;
}

RecordStatus CleanRecord(std::string_view input, const CleanedParts& part,
                         const AssumedCharset* assumed, CharsetDetection* detection,
                         unsigned systemCodePage, Repairs* repairs) {
  return CleanInput(
      input, assumed, detection, systemCodePage,
      [&part, repairs](const char* begin, const char* end, const grammar::Reading& reading) {
        return CleanTextInParts(begin, end, reading, part, repairs);
      });
}

}  // namespace varnoket
