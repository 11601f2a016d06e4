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

TEST_F(NamingOutputIDs, GivesTheLastOfSixtyFourChannelsOtDMToOtDO) {
  EXPECT_EQ(ID(3 * 32 + 3), "ot99");  // channel 32 ends in digits
  EXPECT_EQ(ID(3 * 33 + 1), "otAA");  // channel 33 starts with letters
  EXPECT_EQ(ID(3 * 63 + 1), "otDM");
  EXPECT_EQ(ID(3 * 63 + 2), "otDN");
  EXPECT_EQ(ID(3 * 63 + 3), "otDO");
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

TEST(LetteringChannels, UsesOneLetterUpToZThenTwo) {
  EXPECT_EQ(ChannelLetters(0), "a");
  EXPECT_EQ(ChannelLetters(25), "z");
  EXPECT_EQ(ChannelLetters(26), "aa");
  EXPECT_EQ(ChannelLetters(51), "az");
  EXPECT_EQ(ChannelLetters(52), "ba");
  EXPECT_EQ(ChannelLetters(63), "bl");
  EXPECT_EQ(DefaultChannelName(1), "joint-b");
}

TEST(NamingACoordinateOutput, JoinsTheBaseAndTheLetterWithABlank) {
  char name[kCoordinateNameSize];
  FormatCoordinateName("left hand", 1, name);
  EXPECT_STREQ(name, "left hand y");
  FormatCoordinateName(std::string(80, 'n'), 2, name);
  EXPECT_EQ(std::strlen(name), kCoordinateNameSize - 1);
  EXPECT_STREQ(name + kCoordinateNameSize - 3, " z");
}

TEST(CountingChannels, DerivesThemFromTheOutputsAndClampsRequests) {
  EXPECT_EQ(ChannelCountFromOutputs(7), 1);
  EXPECT_EQ(ChannelCountFromOutputs(9), 1);
  EXPECT_EQ(ChannelCountFromOutputs(196), 64);
  EXPECT_EQ(ChannelCountFromOutputs(4), 0);
  EXPECT_EQ(ChannelCountFromOutputs(0), 0);
  EXPECT_EQ(ClampChannelCount(0), 1);
  EXPECT_EQ(ClampChannelCount(-3), 1);
  EXPECT_EQ(ClampChannelCount(1000), 64);
  EXPECT_EQ(ClampChannelCount(17), 17);
  EXPECT_EQ(CoordinateOutputIndex(2, 2), 13);
}

std::string Help(const char* name, uint16_t index, uint32_t size = 1024) {
  std::string buffer(size, '#');
  ComposeCoordinateHelp(name, index, buffer.data(), size);
  return buffer.substr(0, std::strlen(buffer.c_str()));
}

constexpr char kLongTail[] =
    ". Once a valid skeleton has been received, this joint name will automatically update to "
    "reflect the joints available for the incoming skeleton.";

TEST(ComposingCoordinateHelp, NamesTheJointOfAnOutputAfterItsCurrentName) {
  EXPECT_EQ(Help("neck y", 6), "Reports the y-coordinate of the neck.");
  EXPECT_EQ(Help("left hand x", 8), "Reports the x-coordinate of the left hand.");
}

TEST(ComposingCoordinateHelp, ExplainsRenamingForAPlaceholderName) {
  EXPECT_EQ(Help("joint-c z", 13), std::string("Reports the z-coordinate of joint-c") + kLongTail);
  EXPECT_EQ(Help("joint-a_x", 5), std::string("Reports the x-coordinate of joint-a") + kLongTail);
  EXPECT_EQ(Help("jointed arm y", 9),
            std::string("Reports the y-coordinate of jointed arm") + kLongTail);
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
