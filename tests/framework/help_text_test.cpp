#include "framework/help_text.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_service_table.h"

namespace {

int gHelpIndexCalls = 0;
int32_t gHelpIndexAnswer = 0;

class HelpLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    gHelpIndexCalls = 0;
    gHelpIndexAnswer = 1;
    mTable.Set(0x0b8, +[](void*, uint8_t, uint16_t) -> int32_t {
      ++gHelpIndexCalls;
      return gHelpIndexAnswer;
    });
  }
  static constexpr const char* kHelp[] = {"The actor.", "The first input, described at length."};
  CFakeServiceTable mTable;
};

TEST_F(HelpLookup, LongTextArrivesCutAndTerminated) {
  char buffer[10];
  std::memset(buffer, '#', sizeof(buffer));
  GetHelpStringFromTable(mTable.Params(), nullptr, 1, 1, buffer, sizeof(buffer), kHelp, 2);
  EXPECT_EQ(std::string(buffer), "The first");
  EXPECT_EQ(gHelpIndexCalls, 1);
}

TEST_F(HelpLookup, ShortTextIsPaddedWithNuls) {
  char buffer[16];
  std::memset(buffer, '#', sizeof(buffer));
  gHelpIndexAnswer = 0;
  GetHelpStringFromTable(mTable.Params(), nullptr, 0, 0, buffer, sizeof(buffer), kHelp, 2);
  EXPECT_EQ(std::string(buffer), "The actor.");
  for (size_t i = std::strlen("The actor."); i < sizeof(buffer); ++i) EXPECT_EQ(buffer[i], 0);
}

TEST_F(HelpLookup, SizeZeroStillAsksTheHostButWritesNothing) {
  char buffer[4] = {'#', '#', '#', '#'};
  GetHelpStringFromTable(mTable.Params(), nullptr, 1, 1, buffer, 0, kHelp, 2);
  EXPECT_EQ(gHelpIndexCalls, 1);
  EXPECT_EQ(buffer[0], '#');
}

TEST_F(HelpLookup, AnIndexOutsideTheTableGivesAnEmptyText) {
  char buffer[8] = "xxxxxxx";
  for (int32_t answer : {-1, 2, 1000}) {
    gHelpIndexAnswer = answer;
    GetHelpStringFromTable(mTable.Params(), nullptr, 2, 9, buffer, sizeof(buffer), kHelp, 2);
    EXPECT_STREQ(buffer, "") << answer;
  }
}

TEST(HelpCopy, ExactFitKeepsAllButTheLastCharacter) {
  char buffer[4];
  CopyHelpText("abcd", buffer, 4);
  EXPECT_STREQ(buffer, "abc");
  CopyHelpText("abc", buffer, 4);
  EXPECT_STREQ(buffer, "abc");
  CopyHelpText(nullptr, buffer, 4);
  EXPECT_STREQ(buffer, "");
}

}  // namespace
