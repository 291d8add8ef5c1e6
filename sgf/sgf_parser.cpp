// SPDX-License-Identifier: MIT
#include "sgf/sgf_parser.h"

#include "sgf/utf8.h"

namespace varnoket::grammar {
namespace {

// The first value of the first CA property of a node, for the charset probe.
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
  void AddProperty(Node, std::string_view identifier, std::span<const RawValue<char>> values) {
    if (found_ || identifier != "CA") return;
    found_ = true;
    AppendUnescaped(ByteGrouping::Single, values.front().begin, values.front().end, &charset_);
  }

  void Clear() {
    found_ = false;
    charset_.clear();
  }
  const std::string& charset() const { return charset_; }

 private:
  bool found_ = false;
  std::string charset_;
};

}  // namespace

std::string DeclaredCharset(std::string_view bytes) {
  CharsetProbe probe;
  Parser<char, CharsetProbe> parser(bytes.data(), bytes.data() + bytes.size(), &probe);
  const char* open = nullptr;
  while (parser.NextOpening(&open)) {
    if (!parser.SkipWhitespace() || *parser.position() != ';') continue;
    parser.StepOver();
    probe.Clear();
    if (parser.ParseNodeBody(CharsetProbe::Node{true})) return probe.charset();
    const CharsetName* named = FindCharset(std::string_view(probe.charset()));
    if (named != nullptr && named->grouping != ByteGrouping::Single) return probe.charset();
    // Otherwise the node decides nothing; scanning goes on where its parse
    // stopped.
  }
  return {};
}

bool HoldsGameTree(std::string_view bytes, ByteGrouping grouping) {
  CharsetProbe probe;  // as a sink that keeps nothing of use here
  Parser<char, CharsetProbe> parser(bytes.data(), bytes.data() + bytes.size(), &probe, grouping);
  const char* open = nullptr;
  while (parser.NextOpening(&open)) {
    if (parser.ParseGameTree()) return true;
  }
  return false;
}

Reading ChooseReading(std::string_view bytes, const AssumedCharset* assumed,
                      unsigned systemCodePage) {
  using Form = TextEncoding::Form;
  const std::string declared = DeclaredCharset(bytes);
  const bool declaresUtf8 = NamesUtf8(std::string_view(declared));
  const bool claimsUtf8 = bytes.starts_with("\xEF\xBB\xBF") || declaresUtf8;
  const bool namesNone = charset_detail::Trimmed(std::string_view(declared)).empty();
  const bool mayAssume = namesNone && assumed != nullptr;
  const bool mayDetect = (mayAssume || declaresUtf8) && assumed != nullptr && assumed->detect;
  CharsetDetection detection;
  if (claimsUtf8 || mayAssume) {
    const bool wellFormed = IsWellFormedUtf8(bytes);
    if (claimsUtf8 && wellFormed) return Reading{TextEncoding{Form::Utf8}, "UTF-8", {}};
    if (mayDetect && !wellFormed) {
      detection.tried = true;
      if (const std::optional<CharsetName> found = DetectCharset(bytes)) {
        detection.charset = found->name;
        return Reading{TextEncoding{Form::Bytes, found->grouping}, detection.charset, detection};
      }
    } else if (mayAssume && !wellFormed) {
      return Reading{TextEncoding{Form::Bytes, assumed->grouping}, assumed->name, {}};
    }
  }
  if (const CharsetName* named = FindCharset(std::string_view(declared))) {
    return Reading{TextEncoding{Form::Bytes, named->grouping}, declared, detection};
  }
  if (const CharsetName* system = CodePageCharset(systemCodePage);
      namesNone && assumed == nullptr && system != nullptr && IsValidIn(system->grouping, bytes) &&
      !IsWellFormedUtf8(bytes) && HoldsGameTree(bytes, system->grouping)) {
    return Reading{TextEncoding{Form::Bytes, system->grouping}, std::string(system->name),
                   detection};
  }
  return Reading{TextEncoding{Form::SystemCodePage}, {}, detection};
}

}  // namespace varnoket::grammar
