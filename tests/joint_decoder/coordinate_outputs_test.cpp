// Coordinate outputs without a host: IDs, channel letters and names, channel
// counts and the composed help texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "assertion_recorder.h"
#include "framework/four_char_code.h"
#include "joint_decoder/coordinate_help.h"
#include "joint_decoder/coordinate_outputs.h"
#include "joint_decoder/output_property_id.h"

namespace {

std::string IDText(uint32_t id) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text.push_back(static_cast<char>((id >> shift) & 0xFF));
  return text;
}

class NamingOutputIDs : public ::testing::Test {
 protected:
  std::string ID(int32_t inIndex) { return IDText(OutputPropertyID(mRecorder.Params(), inIndex)); }
  CAssertionRecorder mRecorder;
};

TEST_F(NamingOutputIDs, CountsInDigitsThenUpperThenLowerCaseLetterPairs) {
  EXPECT_EQ(ID(1), "ot01");
  EXPECT_EQ(ID(99), "ot99");
  EXPECT_EQ(ID(100), "otAA");
  EXPECT_EQ(ID(775), "otZZ");
  EXPECT_EQ(ID(776), "otaa");
  EXPECT_EQ(OutputPropertyID(nullptr, 4), FourCharCode("ot04"));
  EXPECT_TRUE(mRecorder.Reports().empty());
}

TEST_F(NamingOutputIDs, ReportsIndexesFromTwiceTwoCharMaxAndZeroesThemPastOtzz) {
  ID(kTwoCharMax * 2 - 1);
  EXPECT_TRUE(mRecorder.Reports().empty());
  EXPECT_EQ(ID(kTwoCharMax * 2), "otwe");  // reported, yet still formed
  EXPECT_EQ(mRecorder.Reports(),
            (std::vector<std::string>{"inIndex >= 0 && inIndex < kTwoCharMax * 2|Bonesplit"}));
  EXPECT_EQ(ID(1451), "otzz");
  EXPECT_EQ(ID(1452), std::string("ot\0\0", 4));
  EXPECT_EQ(mRecorder.Reports().back(), "false|Bonesplit");
  EXPECT_EQ(mRecorder.Reports().size(), 4u);
}

TEST(NamingACoordinateOutput, JoinsTheBaseAndTheLetterWithABlank) {
  char name[kCoordinateNameSize];
  FormatCoordinateName("left hand", 1, name);
  EXPECT_STREQ(name, "left hand y");
  FormatCoordinateName(std::string(80, 'n'), 2, name);
  EXPECT_EQ(std::strlen(name), kCoordinateNameSize - 1);
  EXPECT_STREQ(name + kCoordinateNameSize - 3, " z");
}

TEST(CountingChannels, RoundsPartialTriplesDownAndNeverGoesNegative) {
  EXPECT_EQ(ChannelCountFromOutputs(9), 1);
  EXPECT_EQ(ChannelCountFromOutputs(196), 64);
  EXPECT_EQ(ChannelCountFromOutputs(3), 0);
}

std::string Help(const char* name, uint16_t index, uint32_t size = 1024) {
  std::string buffer(size, '#');
  ComposeCoordinateHelp(name, index, buffer.data(), size);
  return buffer.substr(0, std::strlen(buffer.c_str()));
}

constexpr char kLongTail[] =
    ". Once a valid skeleton has been received, this joint name will automatically update to "
    "reflect the joints available for the incoming skeleton.";

TEST(ComposingCoordinateHelp, ExplainsRenamingForAnyNameThatBeginsWithJoint) {
  EXPECT_EQ(Help("jointed arm y", 9),
            std::string("Reports the y-coordinate of jointed arm") + kLongTail);
  EXPECT_EQ(Help("left hand x", 8), "Reports the x-coordinate of the left hand.");
}

TEST(ComposingCoordinateHelp, TakesTheLetterFromThePositionAndKeepsVeryShortNames) {
  EXPECT_EQ(Help("ab", 7), "Reports the z-coordinate of the ab.");
  EXPECT_EQ(Help("", 5), "Reports the x-coordinate of the .");
}

TEST(ComposingCoordinateHelp, CutsToTheBufferAndWritesNothingIntoAnEmptyOne) {
  char small[12];
  ComposeCoordinateHelp("neck y", 6, small, sizeof(small));
  EXPECT_STREQ(small, "Reports the");
  char untouched = '#';
  ComposeCoordinateHelp("neck y", 6, &untouched, 0);
  EXPECT_EQ(untouched, '#');
}

}  // namespace
