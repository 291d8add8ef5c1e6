// SPDX-License-Identifier: MIT
#include "sgf/utf16_stream.h"

#include "sgf/sgf_text.h"
#include "sgf/utf8.h"

namespace varnoket {
namespace {

// The bytes looked at before the form is decided.
constexpr std::size_t kLookAhead = 64;
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Whether "bytes" look like ASCII text in UTF-16 whose zero byte is at
// "zero" (1: little-endian, 0: big-endian) of each pair: the first character
// that is not white space is "(" or ";", and three in four are ASCII.
bool LooksLikeUtf16(std::string_view bytes, std::size_t zero) {
  const std::size_t units = bytes.size() / 2;
  if (units < 2) return false;
  std::size_t ascii = 0;
  char first = 0;
  for (std::size_t i = 0; i < units; ++i) {
    const char low = bytes[2 * i + 1 - zero];
    if (bytes[2 * i + zero] != 0 || low == 0 || (static_cast<unsigned char>(low) & 0x80) != 0) {
      if (first == 0) return false;
      continue;
    }
    ++ascii;
    if (first == 0 && !grammar::InClass(low, grammar::kWhitespace)) first = low;
  }
  return (first == '(' || first == ';') && 4 * ascii >= 3 * units;
}

}  // namespace

void Utf16Stream::Decide(bool last) {
  const std::string_view bytes(held_);
  if (bytes.size() < 2 && !last) return;
  if (bytes.starts_with("\xFF\xFE")) {
    form_ = Form::Little;
  } else if (bytes.starts_with("\xFE\xFF")) {
    form_ = Form::Big;
  } else if (guess_ && bytes.size() < kLookAhead && !last) {
    return;
  } else if (guess_ && LooksLikeUtf16(bytes.substr(0, kLookAhead), 1)) {
    form_ = Form::Little;
    guessed_ = true;
  } else if (guess_ && LooksLikeUtf16(bytes.substr(0, kLookAhead), 0)) {
    form_ = Form::Big;
    guessed_ = true;
  } else {
    form_ = Form::Bytes;
    return;
  }
  if (!guessed_) held_.erase(0, 2);
  out_.assign(kUtf8Mark);
}

void Utf16Stream::Decode(bool last) {
  const std::size_t zero = form_ == Form::Little ? 1 : 0;
  units_.clear();
  std::size_t i = 0;
  for (; i + 1 < held_.size(); i += 2) {
    const auto high = static_cast<unsigned char>(held_[i + zero]);
    const auto low = static_cast<unsigned char>(held_[i + 1 - zero]);
    units_.push_back(static_cast<char16_t>(high << 8 | low));
  }
  // A high surrogate at the end waits for its pair.
  if (!last && !units_.empty() && units_.back() >= 0xD800 && units_.back() <= 0xDBFF) {
    units_.pop_back();
    i -= 2;
  }
  if (last && i < held_.size()) units_.push_back(0xFFFD);  // half a unit
  held_.erase(0, last ? held_.size() : i);
  AppendUtf8(units_, &out_);
}

std::string_view Utf16Stream::Feed(std::string_view block) {
  if (form_ == Form::Bytes) return block;
  held_.append(block);
  return Take(false);
}

std::string_view Utf16Stream::Finish() {
  if (form_ == Form::Bytes) return {};  // every byte was passed on as it came
  return Take(true);
}

std::string_view Utf16Stream::Take(bool last) {
  out_.clear();
  if (form_ == Form::Undecided) Decide(last);
  if (form_ == Form::Undecided) return {};
  if (form_ == Form::Bytes) {
    out_.swap(held_);
    held_.clear();
    return out_;
  }
  Decode(last);
  return out_;
}

}  // namespace varnoket
