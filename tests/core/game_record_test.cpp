// SPDX-License-Identifier: MIT
#include "tests/oracle/game_record.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace varnoket {
namespace {

using test::W;

class GameRecordTest : public ::testing::Test {
 protected:
  GameRecordTest() { record.Reset(); }
  GameNode* Root() { return record.RootNode(); }
  GameRecord record;
};

TEST_F(GameRecordTest, ResetHoldsOneGameOfOneEmptyCurrentRoot) {
  ASSERT_EQ(record.games().size(), 1u);
  EXPECT_EQ(record.currentGame(), 0);
  EXPECT_EQ(record.RootNode(), record.CurrentNode());
  EXPECT_TRUE(Root()->properties.empty());
  EXPECT_FALSE(record.Advance());
  EXPECT_TRUE(record.CurrentValue(prop::B).empty());
  EXPECT_TRUE(record.systemCodePage());
}

TEST_F(GameRecordTest, AddValueAppendsToTheFirstPropertyAndRaisesItsFlagOnce) {
  Root()->AddValue(prop::AB, W("aa"));
  Root()->AddValue(prop::AB, W("bb"));
  ASSERT_EQ(Root()->properties.size(), 1u);
  EXPECT_EQ(Root()->properties[0].descriptor.identifier, W("AB"));
  EXPECT_EQ(Root()->properties[0].values, (std::vector<WideString>{W("aa"), W("bb")}));
  EXPECT_TRUE(Root()->hasSetup);
  EXPECT_FALSE(Root()->hasMove);
}

TEST_F(GameRecordTest, SetValueReplacesAllValuesInPlace) {
  Root()->SetValue(prop::GM, W("1"));
  Root()->AddValue(prop::AB, W("aa"));
  Root()->AddValue(prop::AB, W("bb"));
  Root()->AddValue(prop::AB, W("cc"));
  Root()->SetValue(prop::GM, W("1"));
  Root()->SetValue(prop::AB, W("dd"));
  ASSERT_EQ(Root()->properties.size(), 2u);
  EXPECT_EQ(Root()->properties[0].descriptor.id, prop::GM);
  EXPECT_EQ(Root()->properties[0].values, std::vector<WideString>{W("1")});
  EXPECT_EQ(Root()->properties[1].values, std::vector<WideString>{W("dd")});
  EXPECT_TRUE(Root()->hasRoot);
}

TEST_F(GameRecordTest, UnknownIdsGiveAnUnflaggedPropertyWithEmptyIdentifier) {
  for (const PropertyId id : {0, 73}) {
    GameNode* node = GameNode::AddChild(Root());
    node->AddValue(id, W("x"));
    ASSERT_EQ(node->properties.size(), 1u);
    EXPECT_TRUE(node->properties[0].descriptor.identifier.empty());
    EXPECT_EQ(node->properties[0].descriptor.propertyClass, PropertyClass::Unknown);
    EXPECT_FALSE(node->hasMove || node->hasSetup || node->hasRoot || node->hasGameInfo);
  }
}

TEST_F(GameRecordTest, AddChildAppendsAndMakesTheNewChildMain) {
  GameNode* first = GameNode::AddChild(Root());
  GameNode* second = GameNode::AddChild(Root());
  EXPECT_EQ(Root()->firstChild, first);
  EXPECT_EQ(first->nextSibling, second);
  EXPECT_EQ(second->prevSibling, first);
  EXPECT_EQ(first->parent, Root());
  EXPECT_EQ(GameNode::MainChild(Root()), second);
  EXPECT_TRUE(record.Advance());
  EXPECT_EQ(record.CurrentNode(), second);
}

TEST_F(GameRecordTest, AdvanceCountsNodesHoldingAnyMoveClassProperty) {
  GameNode* annotated = GameNode::AddChild(Root());
  annotated->AddValue(prop::BM, W("1"));
  GameNode* comment = GameNode::AddChild(annotated);
  comment->AddValue(prop::C, W("hi"));
  GameNode* move = GameNode::AddChild(comment);
  move->AddValue(prop::W, W("dd"));
  while (record.Advance()) {
  }
  EXPECT_EQ(record.games()[0].moveNumber, 2);
  EXPECT_EQ(record.CurrentNode(), move);
}

TEST_F(GameRecordTest, FirstValueEmptyReadsLikeAMissingProperty) {
  Root()->AddValue(prop::PB, WideString());
  Root()->AddValue(prop::PB, W("Ann"));
  EXPECT_EQ(Root()->FindProperty(prop::PB), 0);
  EXPECT_TRUE(Root()->Value(prop::PB).empty());
  EXPECT_EQ(Root()->FindProperty(prop::PW), -1);
  EXPECT_TRUE(Root()->Value(prop::PW).empty());
}

TEST_F(GameRecordTest, SetCurrentValueIsReadBackFromTheCurrentNode) {
  record.SetCurrentValue(prop::GN, W("x"));
  EXPECT_EQ(record.CurrentValue(prop::GN), W("x"));
}

TEST_F(GameRecordTest, ResetOfALoadedRecordKeepsItsCodePage) {
  ASSERT_TRUE(record.LoadFromBytes("(;CA[UTF-8]GN[\xC3\xA9])trailer"));
  EXPECT_FALSE(record.systemCodePage());
  EXPECT_EQ(record.trailingText(), W("trailer"));
  record.Reset();
  EXPECT_FALSE(record.systemCodePage());
  EXPECT_TRUE(record.trailingText().empty());
  EXPECT_TRUE(Root()->properties.empty());
}

}  // namespace
}  // namespace varnoket
