// SPDX-License-Identifier: MIT
#include "sgf/property_catalogue.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/support/test_support.h"

namespace varnoket {
namespace {

using test::W;

struct Row {
  const char* identifier;
  PropertyId id;
  PropertyClass propertyClass;
};

TEST(PropertyCatalogueTest, KnownIdentifiersGiveTheirRows) {
  const Row rows[] = {
      {"B", 1, PropertyClass::Move},         {"W", 11, PropertyClass::Move},
      {"KO", 6, PropertyClass::Move},        {"AB", 13, PropertyClass::Setup},
      {"PL", 16, PropertyClass::Setup},      {"C", 19, PropertyClass::General},
      {"DM", 22, PropertyClass::Annotation}, {"LB", 27, PropertyClass::Markup},
      {"VW", 40, PropertyClass::General},    {"CA", 42, PropertyClass::Root},
      {"FF", 43, PropertyClass::Root},       {"GM", 44, PropertyClass::Root},
      {"SZ", 46, PropertyClass::Root},       {"GC", 53, PropertyClass::GameInfo},
      {"HA", 55, PropertyClass::GameInfo},   {"KM", 56, PropertyClass::GameInfo},
      {"IP", 57, PropertyClass::GameInfo},   {"IY", 58, PropertyClass::GameInfo},
      {"PB", 61, PropertyClass::GameInfo},   {"RE", 64, PropertyClass::GameInfo},
      {"WT", 72, PropertyClass::GameInfo},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.identifier);
    const PropertyDescriptor d = LookupByIdentifier(W(row.identifier));
    EXPECT_EQ(d.identifier, W(row.identifier));
    EXPECT_EQ(d.id, row.id);
    EXPECT_EQ(d.propertyClass, row.propertyClass);
    EXPECT_EQ(LookupById(row.id), d);
  }
}

TEST(PropertyCatalogueTest, UnknownIdentifiersKeepTheirTextWithIdZero) {
  for (const char* text : {"b", "XX", "", "GaMe", "BBB", "1"}) {
    SCOPED_TRACE(text);
    const PropertyDescriptor d = LookupByIdentifier(W(text));
    EXPECT_EQ(d.identifier, W(text));
    EXPECT_EQ(d.id, 0);
    EXPECT_EQ(d.propertyClass, PropertyClass::Unknown);
  }
}

TEST(PropertyCatalogueTest, UnknownIdsKeepTheIdWithAnEmptyIdentifier) {
  for (const PropertyId id : {0, 73, -1, 1000}) {
    SCOPED_TRACE(id);
    const PropertyDescriptor d = LookupById(id);
    EXPECT_TRUE(d.identifier.empty());
    EXPECT_EQ(d.id, id);
    EXPECT_EQ(d.propertyClass, PropertyClass::Unknown);
  }
}

TEST(PropertyCatalogueTest, EveryIdRoundTripsThroughItsIdentifier) {
  std::set<WideString> identifiers;
  int perClass[9] = {};
  for (PropertyId id = 1; id <= prop::kCount; ++id) {
    const PropertyDescriptor d = LookupById(id);
    ASSERT_FALSE(d.identifier.empty()) << id;
    EXPECT_EQ(LookupByIdentifier(d.identifier).id, id);
    identifiers.insert(d.identifier);
    ++perClass[static_cast<int>(d.propertyClass)];
  }
  EXPECT_EQ(identifiers.size(), 72u);
  // Move, Setup, Root, GameInfo, General, Markup, Annotation.
  EXPECT_EQ(perClass[1], 12);
  EXPECT_EQ(perClass[2], 4);
  EXPECT_EQ(perClass[3], 6);
  EXPECT_EQ(perClass[4], 26);
  EXPECT_EQ(perClass[5], 10);
  EXPECT_EQ(perClass[6], 9);
  EXPECT_EQ(perClass[7], 5);
}

}  // namespace
}  // namespace varnoket
