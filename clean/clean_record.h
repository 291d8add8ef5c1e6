// SPDX-License-Identifier: MIT
#ifndef VARNOKET_CLEAN_CLEAN_RECORD_H_
#define VARNOKET_CLEAN_CLEAN_RECORD_H_

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "sgf/charset.h"
#include "sgf/charset_detect.h"
#include "sgf/property_catalogue.h"
#include "sgf/repairs.h"

namespace varnoket {

// The game-information properties copied from the source root, in the order
// they are written.
inline constexpr auto kCopiedRootProperties = std::to_array<PropertyId>({
    prop::AP,
    prop::PC,
    prop::DT,
    prop::GN,
    prop::GC,
    prop::ST,
    prop::RU,
    prop::PW,
    prop::PB,
    prop::BR,
    prop::WR,
    prop::OT,
    prop::TM,
    prop::SZ,
    prop::KM,
    prop::RE,
});

// What cleaning one file's bytes came to.
enum class RecordStatus {
  Cleaned,      // the output holds the cleaned record
  NoGameFound,  // no game tree parses, or the input is too large to read
  CutShort,     // no game tree parses, and the last one began but the text
                // ended before it closed
  TooLarge,     // the cleaned text is too long to convert
  OutOfMemory,  // memory ran out on the way
};

// Cleans SGF bytes: these are the cleaning rules. Of the first game tree that
// parses (every tree is checked as LoadFromBytes checks it) the cleaned record
// keeps, in this order:
// - GM[1]FF[4], then CA naming the charset the text was read in
//   (CharsetToDeclare);
// - the rows of kCopiedRootProperties whose first value in the root is not
//   empty, that first value only;
// - HA when its first value is not empty, and with it every value of the
//   root's first AB;
// - the main line, the first child of each node from the root on: the first
//   value of a node's first B, then of its first W, when not empty, one move
//   node each, with a pass of the other colour between two moves of one
//   colour.
// It is written as SaveToBytes writes such a record: CR LF before each move
// node, every value escaped (grammar::AppendEscaped), in the encoding the
// input was read in (grammar::ChooseReading). A file that names no charset is
// read in "assumed" when that is given and the file is not well-formed UTF-8.
// "*detection", when given, is set to what charset detection made of the file.
// "systemCodePage" is the code page of the system the program runs on, as
// ChooseReading takes it: 0 for none.
// OutOfMemory where memory runs out on the way.
//
// No record is built: the parser keeps only the first accepted tree's root
// information and main line, as positions in "input", a few bytes per node of
// that main line. The tests hold the result to the record path
// (tests/oracle/extract_game.h): NoGameFound or CutShort where LoadFromBytes
// returns false, as GameRecord::cutShort tells; TooLarge where SaveToBytes
// does.
//
// A text that begins with ";" is read as the tree its "(" was left out of
// (grammar::Parser). With "repairs" given, a damaged text is mended as
// grammar::Parser::Recover says and "*repairs" tells what was mended on the
// way to the tree cleaned (or while no tree was found), its "utf16" kept as
// given; the cleaned record is then one that reads back without mending. A
// tree cut short keeps its moves ("movesKept"). Where nothing was mended the
// result is the one without "repairs".
//
// "*out" is replaced: the cleaned bytes on Cleaned, empty otherwise.
RecordStatus CleanRecord(std::string_view input, std::string* out,
                         const AssumedCharset* assumed = nullptr,
                         CharsetDetection* detection = nullptr, unsigned systemCodePage = 0,
                         Repairs* repairs = nullptr);

// Receives a cleaned record part by part, in order.
using CleanedParts = std::function<void(std::string_view part)>;

// As above, but hands the cleaned bytes to "part" as they are written, in
// parts of up to 64 KiB, so that the whole cleaned record is never held: a
// record then takes its text and a few bytes per main-line node. Nothing is
// handed on unless the status is Cleaned, or OutOfMemory when memory ran out
// while writing.
RecordStatus CleanRecord(std::string_view input, const CleanedParts& part,
                         const AssumedCharset* assumed = nullptr,
                         CharsetDetection* detection = nullptr, unsigned systemCodePage = 0,
                         Repairs* repairs = nullptr);

}  // namespace varnoket

#endif  // VARNOKET_CLEAN_CLEAN_RECORD_H_
