// SPDX-License-Identifier: MIT
#ifndef VARNOKET_SGF_PROPERTY_CATALOGUE_H_
#define VARNOKET_SGF_PROPERTY_CATALOGUE_H_

#include <cstdint>
#include <string_view>

#include "sgf/wide_string.h"

namespace varnoket {

// Names a property everywhere in the program: 1 to 72 for the catalogue's
// rows, 0 for every identifier the catalogue lacks.
using PropertyId = std::int32_t;

// The SGF property types, with the untyped properties kept in three groups.
enum class PropertyClass : std::int32_t {
  Move = 1,
  Setup = 2,
  Root = 3,
  GameInfo = 4,
  General = 5,
  Markup = 6,
  Annotation = 7,
  Unknown = 8,
};

// The ids of the catalogue, named after their identifiers.
namespace prop {
inline constexpr PropertyId B = 1, BL = 2, BM = 3, DO = 4, IT = 5, KO = 6, MN = 7, OB = 8, OW = 9,
                            TE = 10, W = 11, WL = 12;
inline constexpr PropertyId AB = 13, AE = 14, AW = 15, PL = 16;
inline constexpr PropertyId AR = 17, AS = 18, C = 19, CR = 20, DD = 21, DM = 22, FG = 23, GB = 24,
                            GW = 25, HO = 26, LB = 27, LN = 28, MA = 29, N = 30, PM = 31, SE = 32,
                            SL = 33, SQ = 34, TB = 35, TR = 36, TW = 37, UC = 38, V = 39, VW = 40;
inline constexpr PropertyId AP = 41, CA = 42, FF = 43, GM = 44, ST = 45, SZ = 46;
inline constexpr PropertyId AN = 47, BR = 48, BT = 49, CP = 50, DT = 51, EV = 52, GC = 53, GN = 54,
                            HA = 55, KM = 56, IP = 57, IY = 58, ON = 59, OT = 60, PB = 61, PC = 62,
                            PW = 63, RE = 64, RO = 65, RU = 66, SO = 67, SU = 68, TM = 69, US = 70,
                            WR = 71, WT = 72;
inline constexpr PropertyId kCount = 72;
}  // namespace prop

// One row of the catalogue, or the description of an unknown property.
struct PropertyDescriptor {
  WideString identifier;
  PropertyId id = 0;
  PropertyClass propertyClass = PropertyClass::Unknown;

  friend bool operator==(const PropertyDescriptor&, const PropertyDescriptor&) = default;
};

// The fixed table of the 72 SGF properties the program knows by name. It is
// immutable and usable from any thread.
class PropertyCatalogue {
 public:
  static const PropertyCatalogue& Instance();

  // The row whose identifier equals "text" exactly (case-sensitive), or an
  // unknown descriptor that keeps "text" as its identifier, with id 0.
  PropertyDescriptor LookupByIdentifier(std::u16string_view text) const;

  // The row with this id, or an unknown descriptor with an empty identifier
  // that keeps the id asked for.
  PropertyDescriptor LookupById(PropertyId id) const;

  // The same as LookupById, without copying; null for an id outside 1..72.
  const PropertyDescriptor* FindById(PropertyId id) const;

  // The same as LookupByIdentifier, without copying; null for an unknown text.
  const PropertyDescriptor* FindByIdentifier(std::u16string_view text) const;

 private:
  PropertyCatalogue();

  PropertyDescriptor rows_[prop::kCount];
  // Row index + 1 by id, and by identifier letters ("A".."Z", second letter
  // or none), so both lookups are one index operation.
  std::int8_t rowById_[prop::kCount + 1] = {};
  std::int8_t rowByLetters_[26][27] = {};
};

// Shorthands for the catalogue's two lookups.
PropertyDescriptor LookupByIdentifier(std::u16string_view text);
PropertyDescriptor LookupById(PropertyId id);

}  // namespace varnoket

#endif  // VARNOKET_SGF_PROPERTY_CATALOGUE_H_
