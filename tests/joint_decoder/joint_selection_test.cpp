// Joint selection without a host: trimming, name lists, splitting the
// selection text and building the body point map.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "assertion_recorder.h"
#include "joint_decoder/body_point_map.h"
#include "joint_decoder/label_list.h"
#include "joint_decoder/trim_whitespace.h"
#include "skeleton_builder.h"

namespace {

std::vector<std::string> Texts(const label_list& list) {
  std::vector<std::string> texts;
  for (const label& l : list) texts.push_back(l.text);
  return texts;
}

TEST(TrimmingAJointName, RemovesExactlyTheSixWhitespaceCharactersAtBothEnds) {
  EXPECT_EQ(TrimWhitespace(" \t\n\v\f\rleft hand \t\n\v\f\r"), "left hand");
  EXPECT_EQ(TrimWhitespace("left  hand"), "left  hand");
  EXPECT_EQ(TrimWhitespace(" \r\n "), "");
  EXPECT_EQ(TrimWhitespace(""), "");
}

TEST(TrimmingAJointName, KeepsBytesAbove127EvenWhereALocaleCallsThemBlank) {
  EXPECT_EQ(TrimWhitespace("\xA0head\x85"), "\xA0head\x85");
  EXPECT_EQ(TrimWhitespace(" \xE9paule "), "\xE9paule");
}

TEST(RemovingAMatchFromALabelList, TakesTheFirstExactMatchAndKeepsTheRestInOrder) {
  label_list list;
  list.append("neck", 1);
  list.append("head", 2);
  list.append("neck", 3);
  int index = -7;
  EXPECT_TRUE(list.remove_match_and_get_index("neck", index));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"head", "neck"}));
  EXPECT_TRUE(list.remove_match_and_get_index("neck", index));
  EXPECT_EQ(index, 3);
}

TEST(RemovingAMatchFromALabelList, FailsOnCaseOrLengthDifferencesAndLeavesTheIndexAlone) {
  label_list list;
  list.append("head", 0);
  int index = 42;
  EXPECT_FALSE(list.remove_match_and_get_index("Head", index));
  EXPECT_FALSE(list.remove_match_and_get_index("hea", index));
  EXPECT_FALSE(list.remove_match_and_get_index("head ", index));
  EXPECT_EQ(index, 42);
  EXPECT_EQ(list.size(), 1u);
}

TEST(RemovingAMatchFromALabelList, MatchesAnEmptyNameOnlyWithAnEmptyLabel) {
  label_list list;
  list.append("head", 0);
  list.append("", 1);
  int index = -1;
  EXPECT_TRUE(list.remove_match_and_get_index("", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(list.remove_match_and_get_index("", index));
}

TEST(SplittingASelection, MakesTrimmedPiecesAtCommasOnly) {
  EXPECT_EQ(Texts(SplitPointSelection("left hand, neck,,bogus , neck")),
            (std::vector<std::string>{"left hand", "neck", "bogus", "neck"}));
  EXPECT_EQ(Texts(SplitPointSelection(",,head,,")), (std::vector<std::string>{"head"}));
  EXPECT_EQ(Texts(SplitPointSelection("head\rneck, torso")),
            (std::vector<std::string>{"head\rneck", "torso"}));
}

TEST(SplittingASelection, KeepsABlankPieceAsAnEmptyNameAndNumbersPiecesInOrder) {
  const label_list pieces = SplitPointSelection("a, \t ,b");
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[1].text, "");
  EXPECT_EQ(pieces[0].index, 0);
  EXPECT_EQ(pieces[2].index, 2);
}

TEST(SplittingASelection, GivesNothingForAMissingOrCommaOnlyText) {
  EXPECT_TRUE(SplitPointSelection(nullptr).empty());
  EXPECT_TRUE(SplitPointSelection("").empty());
  EXPECT_TRUE(SplitPointSelection(",,,").empty());
}

class BuildingTheBodyPointMap : public ::testing::Test {
 protected:
  std::vector<uint32_t> Map(const std::vector<std::string>& points, const char* selection) {
    SkeletonPtr s = MakeSkeleton(points);
    std::vector<uint32_t> map(points.size() + 1, 0xDEADu);  // one guard entry
    const uint32_t count =
        FillBodyPointMap(mRecorder.Params(), *s, SplitPointSelection(selection), map.data());
    EXPECT_EQ(count, points.size());
    EXPECT_EQ(map.back(), 0xDEADu) << "wrote past the map";
    map.pop_back();
    return map;
  }
  const std::vector<std::string> kFour{"head", "neck", "torso", "left hand"};
  CAssertionRecorder mRecorder;
};

TEST_F(BuildingTheBodyPointMap, PutsTheNamedJointsFirstAndSkipsUnknownAndRepeatedNames) {
  EXPECT_EQ(Map(kFour, "left hand, neck,,bogus , neck"), (std::vector<uint32_t>{3, 1, 0, 2}));
  EXPECT_TRUE(mRecorder.Reports().empty());
}

TEST_F(BuildingTheBodyPointMap, GivesTheIdentityForAnEmptySelection) {
  EXPECT_EQ(Map(kFour, ""), (std::vector<uint32_t>{0, 1, 2, 3}));
  EXPECT_EQ(Map(kFour, nullptr), (std::vector<uint32_t>{0, 1, 2, 3}));
}

TEST_F(BuildingTheBodyPointMap, MatchesExactlyAfterTrimming) {
  EXPECT_EQ(Map(kFour, "Head, torso"), (std::vector<uint32_t>{2, 0, 1, 3}));
  EXPECT_EQ(Map(kFour, "  torso "), (std::vector<uint32_t>{2, 0, 1, 3}));
  EXPECT_EQ(Map(kFour, "left  hand"), (std::vector<uint32_t>{0, 1, 2, 3}));
  EXPECT_EQ(Map(kFour, "head\rneck"), (std::vector<uint32_t>{0, 1, 2, 3}));
}

TEST_F(BuildingTheBodyPointMap, LetsARepeatedNameTakeTheNextPointOfThatName) {
  EXPECT_EQ(Map({"head", "neck", "neck"}, "neck, neck"), (std::vector<uint32_t>{1, 2, 0}));
  EXPECT_EQ(Map(kFour, "bogus, torso"), (std::vector<uint32_t>{2, 0, 1, 3}));
}

TEST_F(BuildingTheBodyPointMap, SelectsAnUnnamedPointOnlyWithABlankPiece) {
  EXPECT_EQ(Map({"head", "", "neck"}, "neck, ,head"), (std::vector<uint32_t>{2, 1, 0}));
}

TEST_F(BuildingTheBodyPointMap, NeverMatchesMorePiecesThanThereArePoints) {
  EXPECT_EQ(Map({"a", "b"}, "b,a,b,a,c,a"), (std::vector<uint32_t>{1, 0}));
  EXPECT_TRUE(Map({}, "head, neck").empty());
  EXPECT_TRUE(mRecorder.Reports().empty());
}

TEST_F(BuildingTheBodyPointMap, ReadsANameThatFillsItsWholeFieldWithoutRunningPastIt) {
  const std::string longName(kSkeletonNameSize, 'q');
  SkeletonPtr s = MakeSkeleton({"head", longName});
  std::memcpy(&s->points[1].x, "rrrr", 4);  // no terminator right after the name either
  uint32_t map[2] = {};
  FillBodyPointMap(mRecorder.Params(), *s, SplitPointSelection(longName.c_str()), map);
  EXPECT_EQ(map[0], 1u);
  EXPECT_EQ(map[1], 0u);
}

}  // namespace
