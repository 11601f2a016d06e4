// An exception an actor throws stops at the C boundary and is reported to the
// host's AssertionFailed, naming the entry point it came out of.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "fake_service_table.h"
#include "framework/actor_entry_points.h"

using testing::ElementsAre;

namespace {

struct CReport {
  std::string mCondition;
  std::string mActor;
  int32_t mLine;
};
std::vector<CReport> gReports;

// Throws from every member; a std::exception unless gThrowUnknown.
bool gThrowUnknown = false;
[[noreturn]] void Throw(const char* what) {
  if (gThrowUnknown) throw 42;
  throw std::runtime_error(what);
}

struct CThrowingActor {
  static constexpr const char* kDisplayName = "Thrower";
  static constexpr uint32_t kClassCode = 0x636E746C;
  static constexpr uint32_t kActorID = 0x5F746872;
  static constexpr const char* kHelpStrings[] = {"Throws."};
  static const char* ParameterString() { Throw("no definition"); }
  static void Create(VorlaneParameters*, ActorInfo*) { Throw("create failed"); }
  static uint16_t Dispose(VorlaneParameters*, ActorInfo*) { Throw("dispose failed"); }
  static void Activate(VorlaneParameters*, ActorInfo*, uint8_t) { Throw("activate failed"); }
  static void PropertyChanged(VorlaneParameters*, ActorInfo*, uint16_t, Value*, Value*, uint8_t) {
    Throw("bad value");
  }
  static bool ValueToString(VorlaneParameters*, ActorInfo*, uint8_t, uint16_t, Value*, char*) {
    Throw("no text");
  }
  static bool StringToValue(VorlaneParameters*, ActorInfo*, uint8_t, uint16_t, const char*, Value*) {
    Throw("no value");
  }
  static void HelpString(VorlaneParameters*, ActorInfo*, uint8_t, uint16_t, char*, uint32_t) {
    Throw("no help");
  }
  static intptr_t ReceiveMessage(VorlaneParameters*, uint32_t, uint16_t, const uint8_t*, uint32_t,
                                 ActorInfo*) {
    Throw("no message");
  }
};

using E = CActorEntryPoints<CThrowingActor>;

class ExceptionsAtTheBoundary : public testing::Test {
 protected:
  void SetUp() override {
    gReports.clear();
    gThrowUnknown = false;
    mTable.Set(0x160, +[](const char* condition, const char* actor, int32_t line) {
      gReports.push_back({condition, actor, line});
    });
    mInfo.mActorDataPtr = &mBlock;  // callbacks that need a data block reach the actor
  }

  std::vector<std::string> Conditions() const {
    std::vector<std::string> texts;
    for (const auto& r : gReports) texts.push_back(r.mCondition);
    return texts;
  }

  CFakeServiceTable mTable;
  ActorInfo mInfo{};
  int mBlock = 0;
};

}  // namespace

TEST_F(ExceptionsAtTheBoundary, EachEntryPointIsNamedWithTheExceptionsText) {
  VorlaneParameters* p = mTable.Params();
  char text[64] = {};
  Value value{};
  EXPECT_STREQ(E::GetParameterString(p, &mInfo), "");
  E::GetHelpString(p, &mInfo, 0, 0, text, sizeof(text));
  E::CreateActor(p, &mInfo);
  E::ActivateActor(p, &mInfo, 1);
  E::HandlePropertyChangeValue(p, &mInfo, 1, nullptr, &value, 0);
  EXPECT_EQ(E::PropertyValueToString(p, &mInfo, 1, 1, &value, text), 0);
  EXPECT_EQ(E::PropertyStringToValue(p, &mInfo, 1, 1, "x", &value), 0);
  EXPECT_EQ(E::ReceiveMessage(p, 0x80, 0, nullptr, 0, &mInfo), 0);
  EXPECT_EQ(E::DisposeActor(p, &mInfo), kVorlNoError);
  EXPECT_THAT(Conditions(),
              ElementsAre("GetParameterString: exception stopped at the boundary: no definition",
                          "GetHelpString: exception stopped at the boundary: no help",
                          "CreateActor: exception stopped at the boundary: create failed",
                          "ActivateActor: exception stopped at the boundary: activate failed",
                          "HandlePropertyChangeValue: exception stopped at the boundary: bad value",
                          "PropertyValueToString: exception stopped at the boundary: no text",
                          "PropertyStringToValue: exception stopped at the boundary: no value",
                          "ReceiveMessage: exception stopped at the boundary: no message",
                          "DisposeActor: exception stopped at the boundary: dispose failed"));
  for (const auto& r : gReports) {
    EXPECT_EQ(r.mActor, "Thrower");
    EXPECT_GT(r.mLine, 0);
  }
}

TEST_F(ExceptionsAtTheBoundary, AnExceptionOfAnyTypeIsReportedAndAMissingHostIsSurvived) {
  gThrowUnknown = true;
  E::CreateActor(mTable.Params(), &mInfo);
  EXPECT_THAT(Conditions(), ElementsAre("CreateActor: exception of unknown type stopped at the boundary"));
  // No table, no parameters: still nothing crosses.
  CFakeServiceTable empty;
  E::CreateActor(empty.Params(), &mInfo);
  E::CreateActor(nullptr, &mInfo);
  EXPECT_EQ(gReports.size(), 1u);
}
