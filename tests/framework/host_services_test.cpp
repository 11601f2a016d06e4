// The service wrappers must call the slot at the byte offset the host fixes.
// Each fake service records that it ran, so a wrapper reading a neighbouring
// slot calls nothing (or the wrong recorder) and fails.
#include "framework/host_services.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_service_table.h"

namespace {

struct Recorder {
  std::string mLast;
  uint64_t mArg = 0;
};
Recorder gRecorder;

class HostServiceSlots : public ::testing::Test {
 protected:
  void SetUp() override { gRecorder = Recorder{}; }
  CFakeServiceTable mTable;
};

TEST_F(HostServiceSlots, EachWrapperCallsItsLiteralOffset) {
  mTable.Set(0x030, +[](void*, uint16_t index) -> Value* {
    gRecorder.mLast = "GetInputPropertyValue";
    gRecorder.mArg = index;
    return nullptr;
  });
  mTable.Set(0x0d0, +[](void*, uint8_t kind, uint32_t* count) -> uint16_t {
    gRecorder.mLast = "GetPropertyCount";
    *count = 42 + kind;
    return 0;
  });
  mTable.Set(0x118, +[](uint64_t size, uint32_t zero) -> void* {
    gRecorder.mLast = "AllocateMemory";
    gRecorder.mArg = size * 10 + zero;
    return nullptr;
  });
  mTable.Set(0x160, +[](const char* condition, const char* actor, int32_t line) {
    gRecorder.mLast = std::string(condition) + "|" + actor + "|" + std::to_string(line);
  });
  mTable.Set(0x670, +[](void*, uint8_t, uint16_t, char* buffer, uint32_t size) -> uint16_t {
    gRecorder.mArg = size;
    std::memset(buffer, 'n', size);  // a careless host that forgets the NUL
    return 0;
  });

  auto* params = mTable.Params();
  Host::GetInputPropertyValue(params, nullptr, 7);
  EXPECT_EQ(gRecorder.mLast, "GetInputPropertyValue");
  EXPECT_EQ(gRecorder.mArg, 7u);

  uint32_t count = 0;
  EXPECT_EQ(Host::GetPropertyCount(params, nullptr, 2, &count), 0);
  EXPECT_EQ(count, 44u);

  Host::AllocateMemory(params, 96, 1);
  EXPECT_EQ(gRecorder.mLast, "AllocateMemory");
  EXPECT_EQ(gRecorder.mArg, 961u);

  Host::AssertionFailed(params, "x > 0", "Test Actor", 12);
  EXPECT_EQ(gRecorder.mLast, "x > 0|Test Actor|12");

  char name[8];
  Host::GetPropertyDisplayName(params, nullptr, 2, 5, name, sizeof(name));
  EXPECT_EQ(gRecorder.mArg, 8u);
  EXPECT_EQ(std::string(name), "nnnnnnn");
}

TEST_F(HostServiceSlots, AddOutputPropertyPassesTheFixedArguments) {
  mTable.Set(0x0c0, +[](void*, uint8_t kind, uint32_t newID, uint32_t templateID, const char* name,
                        uint32_t zero1, uint32_t c1, uint32_t c2, uint32_t f255, Value*, Value*,
                        Value*, uint32_t z2, uint32_t z3, uint32_t z4) -> uint16_t {
    gRecorder.mLast = std::string(name);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(newID, 0x6F743034u);
    EXPECT_EQ(templateID, 0x6F743031u);
    EXPECT_EQ(zero1 + z2 + z3 + z4, 0u);
    EXPECT_EQ(c1, 11u);
    EXPECT_EQ(c2, 22u);
    EXPECT_EQ(f255, 255u);
    return 3;
  });
  EXPECT_EQ(Host::AddOutputProperty(mTable.Params(), nullptr, 0x6F743034, 0x6F743031, "neck x", 11,
                                    22, nullptr, nullptr, nullptr),
            3);
  EXPECT_EQ(gRecorder.mLast, "neck x");
}

TEST_F(HostServiceSlots, MissingTableOrSlotGivesNeutralResults) {
  for (VorlaneParameters* params : {static_cast<VorlaneParameters*>(nullptr), mTable.Params()}) {
    uint32_t count = 99;
    EXPECT_EQ(Host::GetInputPropertyValue(params, nullptr, 1), nullptr);
    EXPECT_NE(Host::SetOutputPropertyValue(params, nullptr, 1, nullptr), kVorlNoError);
    EXPECT_NE(Host::GetPropertyCount(params, nullptr, 2, &count), kVorlNoError);
    EXPECT_EQ(Host::AllocateMemory(params, 16, 1), nullptr);
    EXPECT_EQ(Host::GetPropertyHelpIndex(params, nullptr, 0, 0), -1);
    EXPECT_EQ(Host::FindStringInList(params, 0, nullptr, "x"), -1);
    EXPECT_EQ(Host::RegisterMessageReceiver(params, nullptr, 0x80, nullptr, nullptr), nullptr);
    EXPECT_EQ(Host::CreateImageBuffer(params, nullptr, 0, 4, 4, 1), nullptr);
    EXPECT_EQ(Host::BeginImageBufferDraw(params, nullptr, nullptr, 1), 0);
    EXPECT_EQ(Host::EndVideoRender(params, nullptr), 0);
    Host::AssertionFailed(params, "c", "a", 1);
    Host::ReleaseValue(params, nullptr);
    char name[4] = "abc";
    Host::GetPropertyDisplayName(params, nullptr, 2, 5, name, sizeof(name));
    EXPECT_STREQ(name, "");
  }
}

}  // namespace
