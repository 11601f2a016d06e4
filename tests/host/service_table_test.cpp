// The service table as plug-ins see it: reached through byte 16 of the
// parameters record, each service at its literal offset, called with the
// literal argument layout.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <type_traits>
#include <cstring>
#include <set>
#include <thread>

#include "host/host.h"
#include "host/plugin.h"
#include "host/service_table.h"
#include "probe_paths.h"

using testing::HasSubstr;

namespace {

template <class T>
T Read(const void* p, size_t offset) {
  T v;
  std::memcpy(&v, static_cast<const char*>(p) + offset, sizeof(T));
  return v;
}
template <class T>
void Write(void* p, size_t offset, T v) {
  std::memcpy(static_cast<char*>(p) + offset, &v, sizeof(T));
}

struct alignas(8) RawValue {
  unsigned char mBytes[16] = {};
  Value* Ptr() { return reinterpret_cast<Value*>(mBytes); }
};

// The services of the contract, written out independently of the list the
// table is made from: none may move or go missing.
const std::set<size_t> kContractOffsets{0x008, 0x010, 0x030, 0x038, 0x098, 0x0b8, 0x0c0,
                                       0x0c8, 0x0d0, 0x118, 0x120, 0x128, 0x160, 0x168,
                                       0x170, 0x190, 0x198, 0x1c8, 0x310, 0x318, 0x510,
                                       0x640, 0x648, 0x658, 0x660, 0x670};

class ServicesCalledThroughTheTable : public testing::Test {
 protected:
  void SetUp() override {
    mHost.AssertionLog().Switches().mPrintAssertions = false;
    mHost.Switches().mPrintViolations = false;
    mProbe = &mHost.Spawn(vhost::LoadPlugin(ProbePath("probe")), "p");
    mRef = Read<void*>(mProbe->RecordBytes(), 40);
  }

  template <class Fn>
  Fn Slot(size_t offset) {
    void* const* table = Read<void* const*>(mHost.Parameters(), 16);
    return reinterpret_cast<Fn>(Read<void*>(table, offset));
  }

  // The input value the plug-in would read, as raw bytes.
  RawValue InputAsSeen(uint16_t index) {
    Value* v = Slot<Value* (*)(void*, uint16_t)>(0x030)(mRef, index);
    RawValue copy;
    if (v != nullptr) std::memcpy(copy.mBytes, v, 16);
    return copy;
  }

  vhost::CHost mHost;
  vhost::CActorInstance* mProbe = nullptr;
  void* mRef = nullptr;
};

using ActorRefOnly = uint16_t (*)(void*, uint8_t, uint16_t);

// Calls the function in `slot` as service S, with every argument zero or
// null; for calls that must be refused before a handler sees them.
template <class Proc>
struct CZeroArgumentCall;
template <class R, class... Args>
struct CZeroArgumentCall<R (*)(Args...)> {
  static R Call(void* slot) { return reinterpret_cast<R (*)(Args...)>(slot)(Args{}...); }
};

// What each service of the list answered, by name ("-" for void ones).
using CAnswers = std::map<std::string, std::string>;

template <class S>
std::string AnswerText(void* slot) {
  using R = typename S::Result;
  if constexpr (std::is_void_v<R>) {
    CZeroArgumentCall<typename S::Proc>::Call(slot);
    return "-";
  } else {
    const R result = CZeroArgumentCall<typename S::Proc>::Call(slot);
    if constexpr (std::is_pointer_v<R>) return result == nullptr ? "null" : "a pointer";
    else return std::to_string(result);
  }
}

// Calls every service of the list through `table`, with zero arguments.
CAnswers CallEveryServiceWithZeros(void* const* table) {
  CAnswers answers;
#define CALL_SERVICE(offset, name, ...) answers[#name] = AnswerText<HostService::name>(table[(offset) / 8]);
  VORL_HOST_SERVICES(CALL_SERVICE)
#undef CALL_SERVICE
  return answers;
}

// What service S answers when it does nothing: `errorCode` for an
// error-code service, else the list's neutral result.
template <class S>
std::string NeutralText(uint16_t errorCode) {
  using R = typename S::Result;
  if constexpr (std::is_void_v<R>) return "-";
  else if constexpr (std::is_pointer_v<R>) return "null";
  else if constexpr (std::is_same_v<R, uint16_t>) return std::to_string(errorCode);
  else return std::to_string(S::EmptySlotResult());
}

CAnswers NeutralAnswers(uint16_t errorCode) {
  CAnswers answers;
#define NEUTRAL_ANSWER(offset, name, ...) answers[#name] = NeutralText<HostService::name>(errorCode);
  VORL_HOST_SERVICES(NEUTRAL_ANSWER)
#undef NEUTRAL_ANSWER
  return answers;
}

}  // namespace

TEST_F(ServicesCalledThroughTheTable, EveryServiceSitsAtItsOffsetAndEveryOtherSlotIsNull) {
  const std::set<size_t> listed(std::begin(HostService::kOffsets), std::end(HostService::kOffsets));
  for (size_t offset : kContractOffsets) EXPECT_EQ(listed.count(offset), 1u) << "contract service at 0x" << std::hex << offset;
  void* const* table = Read<void* const*>(mHost.Parameters(), 16);
  ASSERT_NE(table, nullptr);
  for (size_t offset = 0; offset < 208 * 8; offset += 8) {
    const bool filled = Read<void*>(table, offset) != nullptr;
    EXPECT_EQ(filled, listed.count(offset) == 1) << "slot at 0x" << std::hex << offset;
  }
}

TEST_F(ServicesCalledThroughTheTable, TheActorReferenceIsAtByte40AndTheRecordIs744Bytes) {
  EXPECT_EQ(mRef, mProbe->Ref());
  EXPECT_NE(mRef, nullptr);
  EXPECT_EQ(Read<uint32_t>(mProbe->RecordBytes(), 0), 0x636E746Cu);
  EXPECT_NE(Read<void*>(mProbe->RecordBytes(), 592), nullptr);  // CreateActor stored its block
  EXPECT_EQ(Read<void*>(mProbe->RecordBytes(), 592), mProbe->ActorData());
}

TEST_F(ServicesCalledThroughTheTable, NumericInputsAreClampedAndConvertedAsAHostWould) {
  const uint16_t number = mProbe->FindInput("number"), ratio = mProbe->FindInput("ratio");
  mHost.SetInput(*mProbe, number, vhost::CHostValue::Integer(150));
  EXPECT_EQ(Read<uint16_t>(InputAsSeen(number).mBytes, 0), 2);
  EXPECT_EQ(Read<int64_t>(InputAsSeen(number).mBytes, 8), 100);
  mHost.SetInput(*mProbe, number, vhost::CHostValue::Float(41.6));
  EXPECT_EQ(Read<uint16_t>(InputAsSeen(number).mBytes, 0), 2);
  EXPECT_EQ(Read<int64_t>(InputAsSeen(number).mBytes, 8), 42);
  mHost.SetInput(*mProbe, ratio, vhost::CHostValue::Float(-3.5));
  EXPECT_EQ(Read<uint16_t>(InputAsSeen(ratio).mBytes, 0), 3);
  EXPECT_EQ(Read<double>(InputAsSeen(ratio).mBytes, 8), -1.0);
  mHost.SetInput(*mProbe, ratio, vhost::CHostValue::Integer(0));
  EXPECT_EQ(Read<uint16_t>(InputAsSeen(ratio).mBytes, 0), 3);
  EXPECT_EQ(Read<double>(InputAsSeen(ratio).mBytes, 8), 0.0);
  EXPECT_THROW(mHost.SetInput(*mProbe, number, vhost::CHostValue::String("7")), vhost::CHostError);
}

TEST_F(ServicesCalledThroughTheTable, InjectedValuesArriveUnclampedWithAnyTagAndFlag) {
  const uint64_t mark = mHost.Mark();
  mHost.InjectInput(*mProbe, 1, vhost::CHostValue::FromRaw(6, 0), 7);
  EXPECT_EQ(Read<uint16_t>(InputAsSeen(1).mBytes, 0), 6);
  mHost.InjectInput(*mProbe, 1, vhost::CHostValue::Integer(1000), 0);
  EXPECT_EQ(Read<int64_t>(InputAsSeen(1).mBytes, 8), 1000);
  const auto* log = mHost.OutputsSince(mark, mProbe, "logo").front();
  EXPECT_EQ(log->mText, "change 1 flag 7 tag 6 value '(null)' seen '(null)'");
}

TEST_F(ServicesCalledThroughTheTable, StringsCarryTheirCharactersEightBytesInAndAreAccounted) {
  RawValue v;
  ASSERT_EQ(Slot<uint16_t (*)(const char*, Value*)>(0x310)("hello", v.Ptr()), 0);
  EXPECT_EQ(Read<uint16_t>(v.mBytes, 0), 6);
  const char* hostString = Read<const char*>(v.mBytes, 8);
  EXPECT_STREQ(hostString + 8, "hello");
  EXPECT_EQ(mHost.Strings().LiveStrings(), 1u);
  RawValue copy = v;
  Slot<void (*)(Value*)>(0x318)(v.Ptr());
  EXPECT_EQ(mHost.Strings().LiveStrings(), 0u);
  EXPECT_TRUE(mHost.Violations().empty());
  Slot<void (*)(Value*)>(0x318)(copy.Ptr());  // the same string again
  ASSERT_EQ(mHost.Violations().size(), 1u);
  EXPECT_THAT(mHost.Violations()[0], HasSubstr("did not make or already released"));
}

TEST_F(ServicesCalledThroughTheTable, MemoryIsZeroFilledAccountedAndCanBeMadeToFail) {
  auto allocate = Slot<void* (*)(uint64_t, uint32_t)>(0x118);
  auto release = Slot<uint16_t (*)(void*)>(0x120);
  const size_t before = mHost.Memory().LiveBlocks();
  const uint64_t bytesBefore = mHost.Memory().LiveBytes();
  auto* block = static_cast<unsigned char*>(allocate(64, 1));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(block[i], 0);
  EXPECT_EQ(mHost.Memory().LiveBlocks(), before + 1);
  EXPECT_EQ(mHost.Memory().LiveBytes(), bytesBefore + 64);
  auto* dirty = static_cast<unsigned char*>(allocate(8, 0));
  EXPECT_EQ(dirty[0], 0xCD);  // no zeros unless asked for
  EXPECT_EQ(release(dirty), 0);
  EXPECT_EQ(release(block), 0);
  EXPECT_EQ(mHost.Memory().LiveBlocks(), before);
  EXPECT_EQ(release(nullptr), 0);
  EXPECT_TRUE(mHost.Violations().empty());

  mHost.MemoryServices().Switches().mFailAllocateMemory = true;
  EXPECT_EQ(allocate(16, 1), nullptr);
  EXPECT_EQ(mHost.Memory().FailedCount(), 1u);
  mHost.MemoryServices().Switches().mFailAllocateMemory = false;

  unsigned char stack[8];
  EXPECT_NE(release(stack), 0);
  EXPECT_THAT(mHost.Violations().back(), HasSubstr("not a live block"));
}

TEST_F(ServicesCalledThroughTheTable, MemoryBlocksAreAlignedAndAWriteJustOutsideOneIsReportedOnce) {
  auto allocate = Slot<void* (*)(uint64_t, uint32_t)>(0x118);
  auto release = Slot<uint16_t (*)(void*)>(0x120);
  for (const uint64_t size : {0u, 1u, 13u, 24u, 1000u}) {
    auto* block = static_cast<unsigned char*>(allocate(size, 1));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u) << size;
    EXPECT_EQ(release(block), 0);
  }
  EXPECT_TRUE(mHost.Violations().empty());

  auto* past = static_cast<unsigned char*>(allocate(24, 1));
  past[24] = 1;
  EXPECT_EQ(release(past), 0);  // freed all the same
  ASSERT_EQ(mHost.Violations().size(), 1u);
  EXPECT_THAT(mHost.Violations()[0], HasSubstr("wrote 1 byte(s) past the end of its 24-byte AllocateMemory block "
                                               "(allocated outside any entry point); found when it was freed"));

  auto* before = static_cast<unsigned char*>(allocate(8, 0));
  before[-2] = 0;
  before[8 + 2] = 0;
  mHost.CheckGuardBytes();
  mHost.CheckGuardBytes();  // the same damage is not reported again
  release(before);
  ASSERT_EQ(mHost.Violations().size(), 2u);
  EXPECT_THAT(mHost.Violations()[1], HasSubstr("wrote 3 byte(s) past the end and wrote 2 byte(s) before the start "
                                               "of its 8-byte AllocateMemory block"));
  EXPECT_THAT(mHost.Violations()[1], HasSubstr("found at the end"));
}

TEST_F(ServicesCalledThroughTheTable, FreeingABlockThatIsStillPublishedOnADataOutputIsReported) {
  auto allocate = Slot<void* (*)(uint64_t, uint32_t)>(0x118);
  auto release = Slot<uint16_t (*)(void*)>(0x120);
  auto setOutput = Slot<uint16_t (*)(void*, uint16_t, Value*)>(0x038);
  const auto publish = [&](void* package) {
    RawValue v;
    Write<uint16_t>(v.mBytes, 0, 5);
    Write<void*>(v.mBytes, 8, package);
    ASSERT_EQ(setOutput(mRef, 3, v.Ptr()), 0);
  };
  void* package = allocate(52 + 44, 1);
  Write<uint32_t>(package, 0, 0x736B656C);
  publish(package);
  publish(nullptr);
  EXPECT_EQ(release(package), 0);  // null published first: sound
  EXPECT_TRUE(mHost.Violations().empty());

  package = allocate(52 + 44, 1);
  Write<uint32_t>(package, 0, 0x736B656C);
  publish(package);
  EXPECT_EQ(release(package), 0);
  ASSERT_EQ(mHost.Violations().size(), 1u);
  EXPECT_THAT(mHost.Violations()[0], HasSubstr("'p' freed a block that is still the last value of its output 3 "
                                               "('skel'), in no entry point"));
}

TEST_F(ServicesCalledThroughTheTable, OutputsAreAddedAtTheEndRemovedByIndexAndRenamed) {
  auto count = Slot<uint16_t (*)(void*, uint8_t, uint32_t*)>(0x0d0);
  auto displayName = Slot<uint16_t (*)(void*, uint8_t, uint16_t, char*, uint32_t)>(0x670);
  auto remove = Slot<uint16_t (*)(void*, uint8_t, uint16_t)>(0x0c8);
  uint32_t outputs = 0, inputs = 0;
  ASSERT_EQ(count(mRef, 2, &outputs), 0);
  ASSERT_EQ(count(mRef, 1, &inputs), 0);
  EXPECT_EQ(outputs, 3u);
  EXPECT_EQ(inputs, 5u);

  const uint16_t command = mProbe->FindInput("command");
  mHost.SetInput(*mProbe, command, vhost::CHostValue::Integer(1));  // adds 'ad01' like output 2
  mHost.SetInput(*mProbe, command, vhost::CHostValue::Integer(0));
  mHost.SetInput(*mProbe, command, vhost::CHostValue::Integer(1));  // adds 'ad02'
  ASSERT_EQ(count(mRef, 2, &outputs), 0);
  EXPECT_EQ(outputs, 5u);
  EXPECT_EQ(mProbe->Output(4).mDescriptor.mID, "ad01");
  EXPECT_EQ(mProbe->Output(5).mDescriptor.mID, "ad02");
  EXPECT_EQ(mProbe->Output(5).mDescriptor.mTypeText, "int");
  EXPECT_EQ(mProbe->Output(5).mDescriptor.mMinimum, -10.0);
  EXPECT_EQ(mProbe->Output(5).mDescriptor.mMaximum, 10.0);

  std::array<char, 256> name{};
  ASSERT_EQ(displayName(mRef, 2, 5, name.data(), 256), 0);
  EXPECT_STREQ(name.data(), "added_2");
  ASSERT_EQ(displayName(mRef, 2, 5, name.data(), 4), 0);
  EXPECT_STREQ(name.data(), "add");  // cut to size - 1

  ASSERT_EQ(remove(mRef, 2, 4), 0);  // 'ad01'; 'ad02' moves down
  EXPECT_EQ(mProbe->OutputCount(), 4u);
  EXPECT_EQ(mProbe->Output(4).mDescriptor.mID, "ad02");
  EXPECT_EQ(mProbe->Output(4).mDescriptor.mIndex, 4);

  mHost.SetInput(*mProbe, command, vhost::CHostValue::Integer(3));  // renames output 2
  ASSERT_EQ(displayName(mRef, 2, 2, name.data(), 256), 0);
  EXPECT_STREQ(name.data(), "renamed");
  EXPECT_EQ(mProbe->Output(2).mDescriptor.mID, "nout");
  EXPECT_EQ(mProbe->FindOutput("renamed"), 2);
  EXPECT_EQ(mProbe->FindOutput("number_out"), 2);
  EXPECT_TRUE(mHost.Violations().empty());
}

TEST_F(ServicesCalledThroughTheTable, BadKindsIndexesAndDuplicateIDsAreRefused) {
  auto remove = Slot<uint16_t (*)(void*, uint8_t, uint16_t)>(0x0c8);
  auto count = Slot<uint16_t (*)(void*, uint8_t, uint32_t*)>(0x0d0);
  uint32_t n = 0;
  EXPECT_EQ(remove(mRef, 2, 9), vhost::kErrBadIndex);
  EXPECT_EQ(remove(mRef, 1, 1), vhost::kErrBadKind);
  EXPECT_EQ(count(mRef, 3, &n), vhost::kErrBadKind);
  int dummy = 0;
  EXPECT_EQ(count(&dummy, 2, &n), vhost::kErrUnknownActor);
  auto add = Slot<vhost::service::AddOutputProperty>(0x0c0);
  uint32_t c1 = 0, c2 = 0;
  Slot<vhost::service::GetPropertyTypeCodes>(0x1c8)(mRef, 2, 2, &c1, &c2);
  EXPECT_EQ(add(mRef, 2, 0x6E6F7574 /* 'nout' exists */, 0, "dup", 0, c1, c2, 255, nullptr, nullptr,
                nullptr, 0, 0, 0),
            vhost::kErrDuplicateID);
  EXPECT_EQ(add(mRef, 2, 0x78787878, 0, "x", 0, 0x3F3F3F01, c2, 255, nullptr, nullptr, nullptr, 0, 0, 0),
            vhost::kErrUnknownTypeCode);
  EXPECT_EQ(mHost.Violations().size(), 6u);

  mHost.Properties().Switches().mFailAddOutputProperty = true;
  mHost.Properties().Switches().mFailRemoveOutputProperty = true;
  mHost.Properties().Switches().mFailGetPropertyCount = true;
  EXPECT_EQ(add(mRef, 2, 0x78787878, 0, "x", 0, c1, c2, 255, nullptr, nullptr, nullptr, 0, 0, 0),
            vhost::kErrSwitchedOff);
  EXPECT_EQ(remove(mRef, 2, 1), vhost::kErrSwitchedOff);
  EXPECT_EQ(count(mRef, 2, &n), vhost::kErrSwitchedOff);
  EXPECT_EQ(mProbe->OutputCount(), 3u);
}

TEST_F(ServicesCalledThroughTheTable, TypeCodesAreStablePerTypeAndComeBackAsTheSameType) {
  auto codes = Slot<vhost::service::GetPropertyTypeCodes>(0x1c8);
  uint32_t log1 = 0, log2 = 0, num1 = 0, num2 = 0, skel1 = 0, skel2 = 0, in1 = 0, in2 = 0;
  ASSERT_EQ(codes(mRef, 2, 1, &log1, &log2), 0);
  ASSERT_EQ(codes(mRef, 2, 2, &num1, &num2), 0);
  ASSERT_EQ(codes(mRef, 2, 3, &skel1, &skel2), 0);
  ASSERT_EQ(codes(mRef, 1, 1, &in1, &in2), 0);
  EXPECT_NE(log1, num1);
  EXPECT_EQ(skel1, 0x736B656Cu);  // data restricted to 'skel'
  EXPECT_EQ(in1, num1);           // both int
  EXPECT_EQ(in2, num2);           // both number
  auto add = Slot<vhost::service::AddOutputProperty>(0x0c0);
  ASSERT_EQ(add(mRef, 2, 0x736B3031, 0, "skel copy", 0, skel1, skel2, 255, nullptr, nullptr, nullptr,
                0, 0, 0),
            0);
  EXPECT_EQ(mProbe->Output(4).mDescriptor.mTypeText, "data=skel");
  EXPECT_EQ(mProbe->Output(4).mDescriptor.mDisplay, "propdef,custom");
}

TEST_F(ServicesCalledThroughTheTable, HelpIndexesCountTheActorThenInputsThenOutputs) {
  auto helpIndex = Slot<int32_t (*)(void*, uint8_t, uint16_t)>(0x0b8);
  EXPECT_EQ(helpIndex(mRef, 0, 0), 0);
  EXPECT_EQ(helpIndex(mRef, 1, 1), 1);
  EXPECT_EQ(helpIndex(mRef, 1, 5), 5);
  EXPECT_EQ(helpIndex(mRef, 2, 1), 6);
  EXPECT_EQ(helpIndex(mRef, 2, 3), 8);
  EXPECT_EQ(helpIndex(mRef, 2, 4), -1);
  EXPECT_EQ(helpIndex(mRef, 1, 0), -1);
  // An added output takes its template's entry ('nout', output 2).
  mHost.SetInput(*mProbe, mProbe->FindInput("command"), vhost::CHostValue::Integer(1));
  EXPECT_EQ(helpIndex(mRef, 2, 4), 7);
  EXPECT_EQ(mHost.HelpText(*mProbe, 2, 4), "number_out help");
  EXPECT_EQ(mHost.HelpText(*mProbe, 0, 0), "The probe.");
  EXPECT_EQ(mHost.HelpText(*mProbe, 1, 3), "label help");
  EXPECT_EQ(mHost.HelpText(*mProbe, 1, 3, 4), "lab");
}

TEST_F(ServicesCalledThroughTheTable, FindStringInListMatchesExactlyOrAnswersMinusOne) {
  auto find = Slot<int32_t (*)(uint32_t, const char* const*, const char*)>(0x128);
  const char* list[] = {"polygon", "sphere", nullptr};
  EXPECT_EQ(find(2, list, "sphere"), 1);
  EXPECT_EQ(find(2, list, "Sphere"), -1);
  EXPECT_EQ(find(2, list, "sphere "), -1);
  EXPECT_EQ(find(3, list, "cube"), -1);
  EXPECT_EQ(find(1, list, "sphere"), -1);
  EXPECT_EQ(find(2, nullptr, "sphere"), -1);
  EXPECT_EQ(find(2, list, nullptr), -1);
}

TEST_F(ServicesCalledThroughTheTable, AssertionsAreCollectedWithConditionActorAndLine) {
  auto assertionFailed = Slot<void (*)(const char*, const char*, int32_t)>(0x160);
  assertionFailed("info != nil", "Bonesplit", 309);
  assertionFailed(nullptr, nullptr, -1);
  ASSERT_EQ(mHost.Assertions().size(), 2u);
  EXPECT_EQ(mHost.Assertions()[0].mCondition, "info != nil");
  EXPECT_EQ(mHost.Assertions()[0].mActorName, "Bonesplit");
  EXPECT_EQ(mHost.Assertions()[0].mLine, 309);
  EXPECT_EQ(mHost.Assertions()[1].mCondition, "");
}

TEST_F(ServicesCalledThroughTheTable, ThePictureIsLoadedIntoTheRecordUnlessSwitchedOff) {
  auto load = Slot<void (*)(ActorInfo*, uint32_t, PictInfo*)>(0x168);
  auto draw = Slot<void (*)(ActorInfo*, uint8_t, Rect*, PictInfo*)>(0x170);
  alignas(8) unsigned char picture[32] = {};
  mHost.Pictures().Switches().mPictureUnavailable = true;
  load(mProbe->Info(), 0, reinterpret_cast<PictInfo*>(picture));
  EXPECT_EQ(picture[0], 0);
  mHost.Pictures().Switches().mPictureUnavailable = false;
  mHost.Pictures().Switches().mPictureWidth = 120;
  mHost.Pictures().Switches().mPictureHeight = 90;
  load(mProbe->Info(), 0, reinterpret_cast<PictInfo*>(picture));
  EXPECT_EQ(picture[0], 1);
  EXPECT_EQ(Read<uint16_t>(picture, 24), 120);
  EXPECT_EQ(Read<uint16_t>(picture, 26), 90);
  EXPECT_EQ(mHost.Pictures().Counters().mPictureLoads, 2u);
  alignas(8) int16_t rect[4] = {};
  draw(mProbe->Info(), 3, reinterpret_cast<Rect*>(rect), reinterpret_cast<PictInfo*>(picture));
  EXPECT_EQ(mHost.Pictures().Counters().mPictureDraws, 1u);
  EXPECT_EQ(mHost.Pictures().Counters().mLastPictureDrawState, 3);
}

namespace {

int gCalls = 0;
uint32_t gLastKind = 0;
intptr_t CountingReceiver(VorlaneParameters*, uint32_t kind, uint16_t, const uint8_t*, uint32_t,
                          void* refcon) {
  ++gCalls;
  gLastKind = kind;
  return reinterpret_cast<intptr_t>(refcon);
}

}  // namespace

TEST_F(ServicesCalledThroughTheTable, MessagesReachEveryReceiverWhoseMaskMatches) {
  auto reg = Slot<vhost::service::RegisterMessageReceiver>(0x008);
  auto unreg = Slot<void (*)(void*)>(0x010);
  gCalls = 0;
  int refcon = 0;
  void* handle = reg(&CountingReceiver, 0, 0x20001000, nullptr, 0, &refcon);
  ASSERT_NE(handle, nullptr);
  auto delivery = mHost.SendMessage(0x80);
  EXPECT_EQ(gCalls, 0);
  EXPECT_EQ(delivery.mReceivers, 1u);  // the probe only
  delivery = mHost.SendMessage(0x20000000, 0);
  EXPECT_EQ(gCalls, 1);
  EXPECT_EQ(gLastKind, 0x20000000u);
  ASSERT_EQ(delivery.mResults.size(), 1u);
  EXPECT_EQ(delivery.mResults[0], reinterpret_cast<intptr_t>(&refcon));
  unreg(handle);
  mHost.SendMessage(0x20000000);
  EXPECT_EQ(gCalls, 1);
  EXPECT_TRUE(mHost.Violations().empty());
  unreg(handle);
  EXPECT_THAT(mHost.Violations().back(), HasSubstr("unknown handle"));
}

TEST_F(ServicesCalledThroughTheTable, TheRenderBracketEndsWithTheResultTheReceiverReturns) {
  const auto delivery = mHost.RequestRender(5);
  ASSERT_EQ(delivery.mResults.size(), 1u);
  EXPECT_EQ(delivery.mResults[0], vhost::kRenderBracketResult);
  EXPECT_EQ(mHost.Video().Counters().mRenderBracketsBegun, 1u);
  EXPECT_EQ(mHost.Video().Counters().mRenderBracketsEnded, 1u);
  EXPECT_EQ(Slot<intptr_t (*)(void*)>(0x198)(reinterpret_cast<void*>(0x1234)), 0);
  EXPECT_THAT(mHost.Violations().back(), HasSubstr("not an open bracket"));
}

TEST_F(ServicesCalledThroughTheTable, ImageBuffersAreRecordsWithSizeDrawingByteAndTexture) {
  auto create = Slot<vhost::service::CreateImageBuffer>(0x640);
  auto dispose = Slot<vhost::service::DisposeImageBuffer>(0x648);
  auto begin = Slot<vhost::service::BeginImageBufferDraw>(0x658);
  auto end = Slot<vhost::service::EndImageBufferDraw>(0x660);
  void* buffer = create(mRef, 0, 640, 480, 1, 0);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(Read<int32_t>(buffer, 32), 640);
  EXPECT_EQ(Read<int32_t>(buffer, 36), 480);
  void* texture = Read<void*>(buffer, 16);
  ASSERT_NE(texture, nullptr);
  Write<int32_t>(texture, 56, 1);
  EXPECT_EQ(Read<uint8_t>(buffer, 40), 0);
  EXPECT_NE(begin(mRef, buffer, 1), 0);
  EXPECT_EQ(Read<uint8_t>(buffer, 40), 1);
  void* frame = end(mRef, buffer);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(Read<void*>(frame, 16), texture);
  EXPECT_EQ(Read<uint8_t>(buffer, 40), 0);
  EXPECT_EQ(mHost.LiveImageBuffers(), 1u);

  mHost.Video().Switches().mFailBeginImageBufferDraw = true;
  EXPECT_EQ(begin(mRef, buffer, 1), 0);
  mHost.Video().Switches().mFailBeginImageBufferDraw = false;
  mHost.Video().Switches().mFailEndImageBufferDraw = true;
  EXPECT_NE(begin(mRef, buffer, 1), 0);
  EXPECT_EQ(end(mRef, buffer), nullptr);
  mHost.Video().Switches().mFailEndImageBufferDraw = false;
  EXPECT_TRUE(mHost.Violations().empty());

  dispose(mRef, buffer);
  EXPECT_EQ(mHost.LiveImageBuffers(), 0u);
  EXPECT_TRUE(mHost.Violations().empty());
  dispose(mRef, buffer);
  EXPECT_THAT(mHost.Violations().back(), HasSubstr("not a live image buffer"));
  mHost.Video().Switches().mFailCreateImageBuffer = true;
  EXPECT_EQ(create(mRef, 0, 64, 64, 1, 0), nullptr);
}

TEST_F(ServicesCalledThroughTheTable, AWriteJustOutsideAnImageBufferRecordIsReportedWhenItIsDisposed) {
  auto create = Slot<vhost::service::CreateImageBuffer>(0x640);
  auto dispose = Slot<vhost::service::DisposeImageBuffer>(0x648);
  const size_t size = mHost.ImageBufferBackend().GuardedRecordSize();
  ASSERT_NE(size, 0u);
  auto* buffer = static_cast<unsigned char*>(create(mRef, 0, 64, 64, 1, 0));
  ASSERT_NE(buffer, nullptr);
  buffer[size] = 0;
  dispose(mRef, buffer);
  ASSERT_EQ(mHost.Violations().size(), 1u);
  EXPECT_THAT(mHost.Violations()[0],
              HasSubstr("'p' wrote 1 byte(s) past the end of its " + std::to_string(size) + "-byte image buffer record"));
}

TEST_F(ServicesCalledThroughTheTable, ACallFromAnotherThreadIsRefusedWithItsErrorCodeAndReportedWithTheThread) {
  auto allocate = Slot<void* (*)(uint64_t, uint32_t)>(0x118);
  auto count = Slot<uint16_t (*)(void*, uint8_t, uint32_t*)>(0x0d0);
  const size_t blocksBefore = mHost.Memory().LiveBlocks();
  void* block = reinterpret_cast<void*>(1);
  uint16_t error = 0;
  uint32_t outputs = 99;
  std::thread([&] {
    block = allocate(16, 1);
    error = count(mRef, 2, &outputs);
  }).join();
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(error, vhost::kErrWrongThread);
  EXPECT_EQ(outputs, 99u);
  ASSERT_EQ(mHost.Violations().size(), 2u);
  EXPECT_THAT(mHost.Violations()[0], HasSubstr("AllocateMemory called off the host's main thread, on thread "));
  EXPECT_THAT(mHost.Violations()[1], HasSubstr("GetPropertyCount called off the host's main thread, on thread "));
  EXPECT_EQ(mHost.Memory().LiveBlocks(), blocksBefore);
}

TEST_F(ServicesCalledThroughTheTable, EveryServiceOfTheListRefusesAnotherThreadAndNamesItself) {
  void* const* table = Read<void* const*>(mHost.Parameters(), 16);
  CAnswers answers;
  std::thread([&] { answers = CallEveryServiceWithZeros(table); }).join();
  EXPECT_EQ(answers, NeutralAnswers(vhost::kErrWrongThread));
  const auto violations = mHost.Violations();
  ASSERT_EQ(violations.size(), std::size(HostService::kOffsets));
  for (const auto& answer : answers) {
    const std::string& name = answer.first;
    EXPECT_EQ(std::count_if(violations.begin(), violations.end(),
                            [&](const std::string& v) { return v.rfind(name + " called off the host's main thread", 0) == 0; }),
              1)
        << name;
  }
}

TEST(ServicesWithNoHost, AnswerTheirNeutralResultAndFindStringInListStillSearches) {
  void* const* table = vhost::ServiceTable();
  EXPECT_EQ(CallEveryServiceWithZeros(table), NeutralAnswers(vhost::kErrNoHost));
  const char* const modes[] = {"a", "b"};
  auto find = reinterpret_cast<vhost::service::FindStringInList>(table[0x128 / 8]);
  EXPECT_EQ(find(2, modes, "b"), 1);
}

TEST_F(ServicesCalledThroughTheTable, AnExceptionAHandlerThrowsIsStoppedAndReportedAsAHostFault) {
  auto count = Slot<uint16_t (*)(void*, uint8_t, uint32_t*)>(0x0d0);
  auto allocate = Slot<void* (*)(uint64_t, uint32_t)>(0x118);
  uint32_t outputs = 0;
  mHost.Switches().mFailInServiceHandlers = true;
  EXPECT_EQ(count(mRef, 2, &outputs), vhost::kErrNoHost);
  EXPECT_EQ(allocate(8, 1), nullptr);
  mHost.Switches().mFailInServiceHandlers = false;
  EXPECT_TRUE(mHost.Violations().empty());  // not the plug-in's doing
  const auto faults = mHost.HostFaults();
  ASSERT_EQ(faults.size(), 2u);
  EXPECT_EQ(faults[0], "GetPropertyCount stopped an exception: a fault switched on for tests");
  EXPECT_THAT(faults[1], HasSubstr("AllocateMemory stopped an exception"));
  EXPECT_EQ(count(mRef, 2, &outputs), 0);
}
