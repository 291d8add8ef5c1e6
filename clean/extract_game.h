#ifndef VARNOKET_CLEAN_EXTRACT_GAME_H_
#define VARNOKET_CLEAN_EXTRACT_GAME_H_

#include <array>

#include "sgf/game_record.h"

namespace varnoket {

// The game-information properties copied from the source root, in the order
// they are written.
inline constexpr std::array<PropertyId, 16> kCopiedRootProperties = {
    prop::AP, prop::PC, prop::DT, prop::GN, prop::GC, prop::ST, prop::RU, prop::PW,
    prop::PB, prop::BR, prop::WR, prop::OT, prop::TM, prop::SZ, prop::KM, prop::RE,
};

// Builds the cleaned game of "source" into "destination", which must be freshly
// Reset. The destination gets: GM "1", FF "4", the source's character set (CA,
// so the text stays readable and is read again as it was: see
// CharsetToDeclare), the copied root properties that are present, HA and with
// it AB, then the main line of moves with a pass inserted between two moves of
// one colour. The destination is written in the source's encoding. The source
// is only read.
void ExtractGame(GameRecord& source, GameRecord& destination);

}  // namespace varnoket

#endif  // VARNOKET_CLEAN_EXTRACT_GAME_H_
