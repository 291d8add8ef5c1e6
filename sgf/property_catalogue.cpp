// SPDX-License-Identifier: MIT
#include "sgf/property_catalogue.h"

namespace varnoket {
namespace {

struct Row {
  const char* identifier;
  PropertyId id;
  PropertyClass propertyClass;
};

using PC = PropertyClass;

// The rows in table order: Move, Setup, Annotation, Markup, General, Root and
// GameInfo, each class in id order.
constexpr Row kRows[prop::kCount] = {
    {"B", 1, PC::Move},         {"BL", 2, PC::Move},        {"BM", 3, PC::Move},
    {"DO", 4, PC::Move},        {"IT", 5, PC::Move},        {"KO", 6, PC::Move},
    {"MN", 7, PC::Move},        {"OB", 8, PC::Move},        {"OW", 9, PC::Move},
    {"TE", 10, PC::Move},       {"W", 11, PC::Move},        {"WL", 12, PC::Move},
    {"AB", 13, PC::Setup},      {"AE", 14, PC::Setup},      {"AW", 15, PC::Setup},
    {"PL", 16, PC::Setup},      {"DM", 22, PC::Annotation}, {"GB", 24, PC::Annotation},
    {"GW", 25, PC::Annotation}, {"HO", 26, PC::Annotation}, {"UC", 38, PC::Annotation},
    {"CR", 20, PC::Markup},     {"DD", 21, PC::Markup},     {"LB", 27, PC::Markup},
    {"MA", 29, PC::Markup},     {"SL", 33, PC::Markup},     {"SQ", 34, PC::Markup},
    {"TB", 35, PC::Markup},     {"TR", 36, PC::Markup},     {"TW", 37, PC::Markup},
    {"AR", 17, PC::General},    {"AS", 18, PC::General},    {"C", 19, PC::General},
    {"FG", 23, PC::General},    {"LN", 28, PC::General},    {"N", 30, PC::General},
    {"PM", 31, PC::General},    {"SE", 32, PC::General},    {"V", 39, PC::General},
    {"VW", 40, PC::General},    {"AP", 41, PC::Root},       {"CA", 42, PC::Root},
    {"FF", 43, PC::Root},       {"GM", 44, PC::Root},       {"ST", 45, PC::Root},
    {"SZ", 46, PC::Root},       {"AN", 47, PC::GameInfo},   {"BR", 48, PC::GameInfo},
    {"BT", 49, PC::GameInfo},   {"CP", 50, PC::GameInfo},   {"DT", 51, PC::GameInfo},
    {"EV", 52, PC::GameInfo},   {"GC", 53, PC::GameInfo},   {"GN", 54, PC::GameInfo},
    {"HA", 55, PC::GameInfo},   {"KM", 56, PC::GameInfo},   {"IP", 57, PC::GameInfo},
    {"IY", 58, PC::GameInfo},   {"ON", 59, PC::GameInfo},   {"OT", 60, PC::GameInfo},
    {"PB", 61, PC::GameInfo},   {"PC", 62, PC::GameInfo},   {"PW", 63, PC::GameInfo},
    {"RE", 64, PC::GameInfo},   {"RO", 65, PC::GameInfo},   {"RU", 66, PC::GameInfo},
    {"SO", 67, PC::GameInfo},   {"SU", 68, PC::GameInfo},   {"TM", 69, PC::GameInfo},
    {"US", 70, PC::GameInfo},   {"WR", 71, PC::GameInfo},   {"WT", 72, PC::GameInfo},
};

// Sets "*first" and "*second" to the index into
// PropertyCatalogue::rowByLetters_ of a one- or two-letter text of upper-case
// ASCII letters (second 0 for one letter); false for any other text.
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
  return PropertyDescriptor{WideString(text), 0, PropertyClass::Unknown};
}

PropertyDescriptor PropertyCatalogue::LookupById(PropertyId id) const {
  if (const PropertyDescriptor* row = FindById(id)) return *row;
  return PropertyDescriptor{WideString(), id, PropertyClass::Unknown};
}

PropertyDescriptor LookupByIdentifier(std::u16string_view text) {
  return PropertyCatalogue::Instance().LookupByIdentifier(text);
}

PropertyDescriptor LookupById(PropertyId id) {
  return PropertyCatalogue::Instance().LookupById(id);
}

}  // namespace varnoket
