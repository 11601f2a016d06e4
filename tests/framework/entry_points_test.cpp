// The framework's C boundary, proven on the test actor plug-in loaded as the
// host loads it. The registration record is read as raw bytes at the host's
// literal offsets, not through the framework's own declarations.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "fake_service_table.h"

namespace {

template <class T>
T ReadAt(const void* block, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const char*>(block) + offset, sizeof(T));
  return value;
}

template <class T>
T SlotAt(const void* record, size_t offset) {
  return reinterpret_cast<T>(ReadAt<void*>(record, offset));
}

struct Calls {
  std::vector<std::string> mAssertions;
  std::vector<std::pair<uint16_t, Value>> mOutputs;
  std::vector<void*> mFreed;
  int mRegistered = 0;
  int mPictureLoads = 0;
  int mPictureDraws = 0;
  bool mFailAllocation = false;
  bool mLoadPicture = false;
  std::vector<void*> mBlocks;
};
Calls gCalls;

using GetActorInfoFn = void (*)(void*, ActorInfo*);

class TestActorBoundary : public ::testing::Test {
 protected:
  void SetUp() override {
    gCalls = Calls{};
    const char* dir = std::getenv("VORL_PLUGIN_DIR");
    ASSERT_NE(dir, nullptr) << "VORL_PLUGIN_DIR is not set";
    const std::string path = std::string(dir) + "/test_actor.so";
    mLibrary = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(mLibrary, nullptr) << dlerror();
    auto getActorInfo = reinterpret_cast<GetActorInfoFn>(dlsym(mLibrary, "GetActorInfo"));
    ASSERT_NE(getActorInfo, nullptr);
    getActorInfo(nullptr, Record());

    mTable.Set(0x008, +[](MessageReceiverProc, uintptr_t, uint32_t, ActorInfo*, uintptr_t, void*) -> void* {
      ++gCalls.mRegistered;
      return &gCalls;
    });
    mTable.Set(0x010, +[](void*) {});
    mTable.Set(0x038, +[](void*, uint16_t index, Value* value) -> uint16_t {
      gCalls.mOutputs.emplace_back(index, *value);
      return 0;
    });
    mTable.Set(0x118, +[](uint64_t size, uint32_t) -> void* {
      if (gCalls.mFailAllocation) return nullptr;
      void* block = std::calloc(1, size);
      gCalls.mBlocks.push_back(block);
      return block;
    });
    mTable.Set(0x120, +[](void* block) -> uint16_t {
      gCalls.mFreed.push_back(block);
      std::free(block);
      return 0;
    });
    mTable.Set(0x160, +[](const char* condition, const char* actor, int32_t line) {
      EXPECT_GT(line, 0);
      gCalls.mAssertions.push_back(std::string(condition) + "|" + actor);
    });
    mTable.Set(0x168, +[](ActorInfo*, uint32_t, PictInfo* pict) {
      ++gCalls.mPictureLoads;
      if (!gCalls.mLoadPicture) return;
      unsigned char* raw = reinterpret_cast<unsigned char*>(pict);
      raw[0] = 1;
      const uint16_t width = 64, height = 48;
      std::memcpy(raw + 24, &width, 2);
      std::memcpy(raw + 26, &height, 2);
    });
    mTable.Set(0x170, +[](ActorInfo*, uint8_t, Rect*, PictInfo*) { ++gCalls.mPictureDraws; });
    mTable.Set(0x310, +[](const char* text, Value* value) -> uint16_t {
      // A host string: characters 8 bytes in.
      auto* block = static_cast<char*>(std::calloc(1, 8 + std::strlen(text) + 1));
      std::strcpy(block + 8, text);
      std::memset(value, 0, sizeof(Value));
      value->mType = 6;
      value->mData = block;
      return 0;
    });
    mTable.Set(0x318, +[](Value* value) {
      std::free(value->mData);
      value->mData = nullptr;
    });
  }

  // Calls an entry point from its slot in the raw record.
  ActorInfo* Record() { return reinterpret_cast<ActorInfo*>(mRecord); }
  void Create() { SlotAt<CreateActorProc>(mRecord, 640)(mTable.Params(), Record()); }
  uint16_t Dispose() { return SlotAt<DisposeActorProc>(mRecord, 648)(mTable.Params(), Record()); }
  void Activate(uint8_t on) { SlotAt<ActivateActorProc>(mRecord, 656)(mTable.Params(), Record(), on); }
  void Change(uint16_t index, Value* value) {
    SlotAt<HandlePropertyChangeValueProc>(mRecord, 672)(mTable.Params(), Record(), index, nullptr,
                                                        value, 0);
  }
  void* DataBlock() { return ReadAt<void*>(mRecord, 592); }

  void* mLibrary = nullptr;
  alignas(8) unsigned char mRecord[744] = {};
  CFakeServiceTable mTable;
};

TEST_F(TestActorBoundary, RegistrationFillsTheRecordAtTheHostsOffsets) {
  EXPECT_EQ(ReadAt<uint32_t>(mRecord, 0), 0x636E746Cu);  // 'cntl'
  EXPECT_EQ(ReadAt<uint32_t>(mRecord, 4), 0u);           // left untouched
  EXPECT_EQ(ReadAt<uint32_t>(mRecord, 8), 0x5F747374u);  // '_tst'
  EXPECT_EQ(ReadAt<uint32_t>(mRecord, 12), 256u);
  EXPECT_EQ(ReadAt<uint32_t>(mRecord, 16), 128u);
  EXPECT_STREQ(ReadAt<const char*>(mRecord, 24), "Test Actor");
  EXPECT_EQ(ReadAt<void*>(mRecord, 592), nullptr);
  for (size_t slot : {624, 632, 640, 648, 656, 672, 696, 704, 720, 728})
    EXPECT_NE(ReadAt<void*>(mRecord, slot), nullptr) << slot;
  for (size_t slot : {664, 680, 688, 712, 736}) EXPECT_EQ(ReadAt<void*>(mRecord, slot), nullptr) << slot;
  const char* definition = SlotAt<GetParameterStringProc>(mRecord, 624)(mTable.Params(), Record());
  ASSERT_NE(definition, nullptr);
  EXPECT_EQ(definition[std::strlen(definition) - 1], '\r');
}

TEST_F(TestActorBoundary, WithoutADataBlockEveryCallbackIsHarmless) {
  gCalls.mFailAllocation = true;
  Create();
  ASSERT_EQ(gCalls.mAssertions, std::vector<std::string>{"info != nil|Test Actor"});
  EXPECT_EQ(DataBlock(), nullptr);

  Activate(1);
  EXPECT_EQ(gCalls.mRegistered, 0);
  Value count{};
  count.mType = 2;
  count.mInteger = 5;
  Change(1, &count);
  EXPECT_TRUE(gCalls.mOutputs.empty());
  char text[32] = "untouched";
  auto toString = SlotAt<PropertyValueToStringProc>(mRecord, 696);
  EXPECT_EQ(toString(mTable.Params(), Record(), 1, 5, &count, text), 0);
  EXPECT_STREQ(text, "untouched");
  Activate(0);

  Dispose();
  EXPECT_EQ(gCalls.mAssertions.back(), "ioActorInfo->mActorDataPtr != nil|Test Actor");
  EXPECT_EQ(gCalls.mFreed, std::vector<void*>{nullptr});
}

TEST_F(TestActorBoundary, ValuesOfTheWrongTypeOrNoValueNeverCrash) {
  Create();
  ASSERT_NE(DataBlock(), nullptr);
  Activate(1);
  Value integerOnAStringInput{};
  integerOnAStringInput.mType = 2;
  integerOnAStringInput.mInteger = 0x1234;  // would be a wild pointer if read as a string
  Change(4, &integerOnAStringInput);
  Change(4, nullptr);
  Value stringOnASkeletonInput{};
  stringOnASkeletonInput.mType = 6;
  stringOnASkeletonInput.mInteger = 0x10;
  Change(5, &stringOnASkeletonInput);
  Change(1, nullptr);
  ASSERT_EQ(gCalls.mOutputs.size(), 4u);
  EXPECT_EQ(gCalls.mOutputs[3].first, 1);
  EXPECT_EQ(gCalls.mOutputs[3].second.mInteger, 0);
  EXPECT_EQ(gCalls.mOutputs[2].second.mData, nullptr) << "a string Value is not a skeleton";
  EXPECT_TRUE(gCalls.mAssertions.empty());

  Change(9, &integerOnAStringInput);
  EXPECT_EQ(gCalls.mAssertions, std::vector<std::string>{"false|Test Actor"});
  Activate(0);
  EXPECT_EQ(Dispose(), 0);
  EXPECT_EQ(gCalls.mFreed.size(), 1u);
}

TEST_F(TestActorBoundary, AnExceptionInsideTheActorStopsAtTheBoundary) {
  Create();
  Activate(1);
  Value mode{};
  mode.mType = 2;
  mode.mInteger = 2;  // the test actor throws from its message receiver in mode 2
  Change(6, &mode);
  // The receiver is the trampoline the actor registered; find it through a
  // fresh registration that records the pointer.
  static MessageReceiverProc sReceiver;
  static void* sRefcon;
  mTable.Set(0x008, +[](MessageReceiverProc receiver, uintptr_t, uint32_t, ActorInfo*, uintptr_t,
                        void* refcon) -> void* {
    sReceiver = receiver;
    sRefcon = refcon;
    return &gCalls;
  });
  Activate(0);
  Activate(1);
  ASSERT_NE(sReceiver, nullptr);
  EXPECT_EQ(sReceiver(mTable.Params(), 0x80, 0, nullptr, 0, sRefcon), 0);
  EXPECT_EQ(sReceiver(mTable.Params(), 0x80, 0, nullptr, 0, nullptr), 0);
  Activate(0);
  Dispose();
}

TEST_F(TestActorBoundary, ThePictureLoadsUntilTheHostMarksItLoaded) {
  auto area = SlotAt<GetActorDefinedAreaProc>(mRecord, 720);
  auto draw = SlotAt<DrawActorDefinedAreaProc>(mRecord, 728);
  int16_t w = -1, h = -1, c = -1, d = -1;
  Rect rect{};
  EXPECT_EQ(area(mTable.Params(), Record(), &w, &h, &c, &d), 1);
  EXPECT_EQ(area(mTable.Params(), Record(), &w, &h, &c, &d), 1);
  EXPECT_EQ(gCalls.mPictureLoads, 2);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  draw(mTable.Params(), Record(), nullptr, 1, 0, &rect, &rect, 0);
  EXPECT_EQ(gCalls.mPictureDraws, 0) << "nothing to draw before the picture is loaded";

  gCalls.mLoadPicture = true;
  area(mTable.Params(), Record(), &w, &h, &c, &d);
  area(mTable.Params(), Record(), &w, &h, &c, &d);
  EXPECT_EQ(gCalls.mPictureLoads, 3) << "loaded once, then kept";
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(d, 0);
  draw(mTable.Params(), Record(), nullptr, 2, 0, &rect, &rect, 0);
  EXPECT_EQ(gCalls.mPictureDraws, 0);
  draw(mTable.Params(), Record(), nullptr, 1, 0, &rect, &rect, 0);
  EXPECT_EQ(gCalls.mPictureDraws, 1);
}

TEST_F(TestActorBoundary, AnExceptionFromThePictureServicesStopsAtTheBoundary) {
  // A host service is C for the plug-in, but a host written in C++ may let
  // one escape: the picture trampolines stop it like every other one.
  auto area = SlotAt<GetActorDefinedAreaProc>(mRecord, 720);
  auto draw = SlotAt<DrawActorDefinedAreaProc>(mRecord, 728);
  int16_t w = -1, h = -1, c = -1, d = -1;
  Rect rect{};
  // The picture record is the plug-in file's and outlives this test: find it
  // through the services (loading it if no earlier test did), to start from
  // and leave it unloaded.
  static PictInfo* sPicture;
  auto markLoaded =
      +[](ActorInfo*, uint32_t, PictInfo* pict) { reinterpret_cast<unsigned char*>(pict)[0] = 1; };
  auto keep = +[](ActorInfo*, uint8_t, Rect*, PictInfo* pict) { sPicture = pict; };
  mTable.Set(0x168, markLoaded);
  mTable.Set(0x170, keep);
  area(mTable.Params(), Record(), &w, &h, &c, &d);
  draw(mTable.Params(), Record(), nullptr, 1, 0, &rect, &rect, 0);
  ASSERT_NE(sPicture, nullptr);
  reinterpret_cast<unsigned char*>(sPicture)[0] = 0;

  auto failToLoad =
      +[](ActorInfo*, uint32_t, PictInfo*) { throw std::runtime_error("no picture"); };
  mTable.Set(0x168, failToLoad);
  EXPECT_EQ(area(mTable.Params(), Record(), &w, &h, &c, &d), 0);
  reinterpret_cast<unsigned char*>(sPicture)[0] = 1;
  auto failToDraw = +[](ActorInfo*, uint8_t, Rect*, PictInfo*) { throw 7; };
  mTable.Set(0x170, failToDraw);
  draw(mTable.Params(), Record(), nullptr, 1, 0, &rect, &rect, 0);
  reinterpret_cast<unsigned char*>(sPicture)[0] = 0;

  ASSERT_EQ(gCalls.mAssertions.size(), 2u);
  EXPECT_EQ(gCalls.mAssertions[0],
            "GetActorDefinedArea: exception stopped at the boundary: no picture|Test Actor");
  EXPECT_EQ(gCalls.mAssertions[1],
            "DrawActorDefinedArea: exception of unknown type stopped at the boundary|Test Actor");
}

}  // namespace
