// SPDX-License-Identifier: MIT
#include "sgf/property_catalogue.h"

namespace varnoket {
namespace {

struct Row {
  const char* identifier;
  PropertyId id;
  PropertyClass propertyClass;
  ValueType valueType;
};

using PC = PropertyClass;
using VT = ValueType;

// The rows in table order: Move, Setup, Annotation, Markup, General, Root and
// GameInfo, each class in id order.
constexpr Row kRows[prop::kCount] = {
    {"B", 1, PC::Move, VT::Move},
    {"BL", 2, PC::Move, VT::Real},
    {"BM", 3, PC::Move, VT::Double},
    {"DO", 4, PC::Move, VT::None},
    {"IT", 5, PC::Move, VT::None},
    {"KO", 6, PC::Move, VT::None},
    {"MN", 7, PC::Move, VT::Number},
    {"OB", 8, PC::Move, VT::Number},
    {"OW", 9, PC::Move, VT::Number},
    {"TE", 10, PC::Move, VT::Double},
    {"W", 11, PC::Move, VT::Move},
    {"WL", 12, PC::Move, VT::Real},
    {"AB", 13, PC::Setup, VT::StoneList},
    {"AE", 14, PC::Setup, VT::PointList},
    {"AW", 15, PC::Setup, VT::StoneList},
    {"PL", 16, PC::Setup, VT::Color},
    {"DM", 22, PC::Annotation, VT::Double},
    {"GB", 24, PC::Annotation, VT::Double},
    {"GW", 25, PC::Annotation, VT::Double},
    {"HO", 26, PC::Annotation, VT::Double},
    {"UC", 38, PC::Annotation, VT::Double},
    {"CR", 20, PC::Markup, VT::PointList},
    {"DD", 21, PC::Markup, VT::PointElist},
    {"LB", 27, PC::Markup, VT::Compose},
    {"MA", 29, PC::Markup, VT::PointList},
    {"SL", 33, PC::Markup, VT::PointList},
    {"SQ", 34, PC::Markup, VT::PointList},
    {"TB", 35, PC::Markup, VT::PointElist},
    {"TR", 36, PC::Markup, VT::PointList},
    {"TW", 37, PC::Markup, VT::PointElist},
    {"AR", 17, PC::General, VT::Compose},
    {"AS", 18, PC::General, VT::SimpleText},
    {"C", 19, PC::General, VT::Text},
    {"FG", 23, PC::General, VT::Compose},
    {"LN", 28, PC::General, VT::Compose},
    {"N", 30, PC::General, VT::SimpleText},
    {"PM", 31, PC::General, VT::Number},
    {"SE", 32, PC::General, VT::Point},
    {"V", 39, PC::General, VT::Real},
    {"VW", 40, PC::General, VT::PointElist},
    {"AP", 41, PC::Root, VT::Compose},
    {"CA", 42, PC::Root, VT::SimpleText},
    {"FF", 43, PC::Root, VT::Number},
    {"GM", 44, PC::Root, VT::Number},
    {"ST", 45, PC::Root, VT::Number},
    {"SZ", 46, PC::Root, VT::Compose},
    {"AN", 47, PC::GameInfo, VT::SimpleText},
    {"BR", 48, PC::GameInfo, VT::SimpleText},
    {"BT", 49, PC::GameInfo, VT::SimpleText},
    {"CP", 50, PC::GameInfo, VT::SimpleText},
    {"DT", 51, PC::GameInfo, VT::SimpleText},
    {"EV", 52, PC::GameInfo, VT::SimpleText},
    {"GC", 53, PC::GameInfo, VT::Text},
    {"GN", 54, PC::GameInfo, VT::SimpleText},
    {"HA", 55, PC::GameInfo, VT::Number},
    {"KM", 56, PC::GameInfo, VT::Real},
    {"IP", 57, PC::GameInfo, VT::SimpleText},
    {"IY", 58, PC::GameInfo, VT::SimpleText},
    {"ON", 59, PC::GameInfo, VT::SimpleText},
    {"OT", 60, PC::GameInfo, VT::SimpleText},
    {"PB", 61, PC::GameInfo, VT::SimpleText},
    {"PC", 62, PC::GameInfo, VT::SimpleText},
    {"PW", 63, PC::GameInfo, VT::SimpleText},
    {"RE", 64, PC::GameInfo, VT::SimpleText},
    {"RO", 65, PC::GameInfo, VT::SimpleText},
    {"RU", 66, PC::GameInfo, VT::SimpleText},
    {"SO", 67, PC::GameInfo, VT::SimpleText},
    {"SU", 68, PC::GameInfo, VT::SimpleText},
    {"TM", 69, PC::GameInfo, VT::Real},
    {"US", 70, PC::GameInfo, VT::SimpleText},
    {"WR", 71, PC::GameInfo, VT::SimpleText},
    {"WT", 72, PC::GameInfo, VT::SimpleText},
};

// Index into PropertyCatalogue::rowByLetters_ for a one- or two-letter text of
// upper-case ASCII letters, or -1 for any other text.
bool LetterIndex(std::u16string_view text, int* first, int* second) {
  if (text.empty() || text.size() > 2) return false;
  if (text[0] < u'A' || text[0] > u'Z') return false;
  *first = text[0] - u'A';
  *second = 0;
  if (text.size() == 2) {
    if (text[1] < u'A' || text[1] > u'Z') return false;
    *second = text[1] - u'A' + 1;
  }
  return true;
}

}  // namespace

PropertyCatalogue::PropertyCatalogue() {
  for (int row = 0; row < prop::kCount; ++row) {
    const Row& source = kRows[row];
    PropertyDescriptor& descriptor = rows_[row];
    for (const char* c = source.identifier; *c != '\0'; ++c) {
      descriptor.identifier.push_back(static_cast<char16_t>(*c));
    }
    descriptor.id = source.id;
    descriptor.propertyClass = source.propertyClass;
    descriptor.valueType = source.valueType;
    rowById_[source.id] = static_cast<std::int8_t>(row + 1);
    int first = 0;
    int second = 0;
    if (LetterIndex(descriptor.identifier, &first, &second)) {
      rowByLetters_[first][second] = static_cast<std::int8_t>(row + 1);
    }
  }
}

const PropertyCatalogue& PropertyCatalogue::Instance() {
  static const PropertyCatalogue catalogue;
  return catalogue;
}

const PropertyDescriptor* PropertyCatalogue::FindById(PropertyId id) const {
  if (id < 1 || id > prop::kCount) return nullptr;
  return &rows_[rowById_[id] - 1];
}

const PropertyDescriptor* PropertyCatalogue::FindByIdentifier(std::u16string_view text) const {
  int first = 0;
  int second = 0;
  if (!LetterIndex(text, &first, &second)) return nullptr;
  const int row = rowByLetters_[first][second];
  return row == 0 ? nullptr : &rows_[row - 1];
}

PropertyDescriptor PropertyCatalogue::LookupByIdentifier(std::u16string_view text) const {
  if (const PropertyDescriptor* row = FindByIdentifier(text)) return *row;
  return PropertyDescriptor{WideString(text), 0, PropertyClass::Unknown, ValueType::Unknown};
}

PropertyDescriptor PropertyCatalogue::LookupById(PropertyId id) const {
  if (const PropertyDescriptor* row = FindById(id)) return *row;
  return PropertyDescriptor{WideString(), id, PropertyClass::Unknown, ValueType::Unknown};
}

PropertyDescriptor LookupByIdentifier(std::u16string_view text) {
  return PropertyCatalogue::Instance().LookupByIdentifier(text);
}

PropertyDescriptor LookupById(PropertyId id) {
  return PropertyCatalogue::Instance().LookupById(id);
}

}  // namespace varnoket
