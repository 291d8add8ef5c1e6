// SPDX-License-Identifier: MIT
#ifndef VARNOKET_SGF_UTF16_STREAM_H_
#define VARNOKET_SGF_UTF16_STREAM_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace varnoket {

// Reads a stream of bytes that may be UTF-16 text as UTF-8, block by block,
// so that the rest of the program only ever meets bytes. The stream is UTF-16
// when it begins with a byte-order mark (FF FE little-endian, FE FF
// big-endian) or, when guessing is asked for, when its first characters are
// plainly ASCII text alternating with zero bytes. Its UTF-8 form then begins
// with the UTF-8 byte-order mark, so that it is read as UTF-8; an unpaired
// surrogate becomes U+FFFD. Any other stream is passed on as it is.
class Utf16Stream {
 public:
  // "guess": also recognise UTF-16 without a byte-order mark.
  explicit Utf16Stream(bool guess) : guess_(guess) {}

  // The text the next bytes give, valid until the next call: empty while the
  // start of the stream is still being looked at.
  std::string_view Feed(std::string_view block);
  // The text the stream's last bytes give.
  std::string_view Finish();

  bool utf16() const { return form_ == Form::Little || form_ == Form::Big; }
  // UTF-16 without a byte-order mark.
  bool guessed() const { return guessed_; }

 private:
  enum class Form { Undecided, Bytes, Little, Big };

  // Decides the form from held_; "last": no more bytes come.
  void Decide(bool last);
  // What the bytes held give, in out_; "last": no more bytes come.
  std::string_view Take(bool last);
  // Decodes held_ into out_, keeping back what may be the first half of a
  // unit or of a surrogate pair unless "last".
  void Decode(bool last);

  bool guess_;
  bool guessed_ = false;
  Form form_ = Form::Undecided;
  std::string held_;
  std::string out_;
  std::u16string units_;
};

}  // namespace varnoket

#endif  // VARNOKET_SGF_UTF16_STREAM_H_
