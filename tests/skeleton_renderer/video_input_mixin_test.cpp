// CVideoInputMixin: recognising image and texture records and holding one
// retain on the texture object of the last texture record.
#include "skeleton_renderer/video_input_mixin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/value_access.h"
#include "skeleton_renderer/host_texture_object.h"

namespace {

std::vector<std::string> gTextureLog;

// A host texture object: its first word points to a table of seven
// operations taking the object.
struct FakeTexture {
  const HostTextureOperation* mOps;
  const char* mName;
};

void Ignored(void*) {}
void Retain(void* self) { gTextureLog.push_back(std::string("retain ") + static_cast<FakeTexture*>(self)->mName); }
void Release(void* self) { gTextureLog.push_back(std::string("release ") + static_cast<FakeTexture*>(self)->mName); }
const HostTextureOperation kOps[HostTextureSlot::kCount] = {&Ignored, &Ignored, &Ignored, &Ignored,
                                                            &Ignored, &Retain, &Release};

struct Record {
  alignas(8) uint8_t mBytes[80] = {};
  template <class T>
  void Put(size_t offset, T value) {
    std::memcpy(mBytes + offset, &value, sizeof(value));
  }
};

Record ImageRecord(bool marked) {
  Record r;
  r.Put<uint32_t>(0, kImageRecordCode);
  if (marked) r.Put<uint32_t>(72, kVideoRecordMark);
  return r;
}

Record TextureRecord(FakeTexture* texture, int32_t source, bool marked = true) {
  Record r;
  r.Put<uint32_t>(0, kTextureRecordCode);
  if (marked) r.Put<uint32_t>(12, kVideoRecordMark);
  r.Put<void*>(16, texture);
  r.Put<int32_t>(24, source);
  return r;
}

class VideoInputMixinReceivingRecords : public ::testing::Test {
 protected:
  void SetUp() override { gTextureLog.clear(); }
  int32_t Take(Record& record, int32_t index) {
    Value value = MakeDataValue(record.mBytes);
    return mMixin.SetInput(&value, index);
  }

  FakeTexture mTextureA{kOps, "A"};
  FakeTexture mTextureB{kOps, "B"};
  CVideoInputMixin mMixin;
};

TEST_F(VideoInputMixinReceivingRecords, MarkedImageRecordTakesTheHostIndex) {
  Record image = ImageRecord(true);
  EXPECT_EQ(Take(image, 4), 4);
  EXPECT_EQ(mMixin.Kind(), kImageRecordCode);
  EXPECT_EQ(mMixin.ImageRecord(), image.mBytes);
  EXPECT_EQ(mMixin.TextureRecord(), nullptr);
}

TEST_F(VideoInputMixinReceivingRecords, TextureRecordTakesItsOwnSourceAndRetainsTheTexture) {
  Record texture = TextureRecord(&mTextureA, 9);
  EXPECT_EQ(Take(texture, 4), 9);
  EXPECT_EQ(mMixin.Kind(), kTextureRecordCode);
  EXPECT_EQ(mMixin.TextureRecord(), texture.mBytes);
  EXPECT_EQ(mMixin.Texture(), &mTextureA);
  EXPECT_EQ(gTextureLog, std::vector<std::string>{"retain A"});
}

TEST_F(VideoInputMixinReceivingRecords, NewTextureIsRetainedBeforeTheOldIsReleased) {
  Record first = TextureRecord(&mTextureA, 1);
  Record second = TextureRecord(&mTextureB, 2);
  Take(first, 0);
  Take(second, 0);
  EXPECT_EQ(gTextureLog, (std::vector<std::string>{"retain A", "retain B", "release A"}));
}

TEST_F(VideoInputMixinReceivingRecords, SameTextureAgainMakesNoRetainOrRelease) {
  Record first = TextureRecord(&mTextureA, 1);
  Record again = TextureRecord(&mTextureA, 1);
  Take(first, 0);
  gTextureLog.clear();
  Take(again, 0);
  EXPECT_TRUE(gTextureLog.empty());
}

TEST_F(VideoInputMixinReceivingRecords, UnmarkedRecordsChangeNothingButTheRecords) {
  Record image = ImageRecord(true);
  Take(image, 6);
  Record unmarkedTexture = TextureRecord(&mTextureA, 2, false);
  EXPECT_EQ(Take(unmarkedTexture, 1), 6) << "kind and source stay from the last good record";
  EXPECT_EQ(mMixin.Kind(), kImageRecordCode);
  EXPECT_EQ(mMixin.ImageRecord(), nullptr);
  EXPECT_TRUE(gTextureLog.empty());
}

TEST_F(VideoInputMixinReceivingRecords, OtherCodesNullValuesAndOtherTypesMeanNoInput) {
  Record image = ImageRecord(true);
  Take(image, 6);
  Record other;
  other.Put<uint32_t>(0, 0x41424344);
  EXPECT_EQ(Take(other, 6), -1);
  EXPECT_EQ(mMixin.Kind(), 0u);

  Take(image, 6);
  EXPECT_EQ(mMixin.SetInput(nullptr, 6), -1);
  Take(image, 6);
  Value number = MakeIntegerValue(reinterpret_cast<intptr_t>(image.mBytes));
  EXPECT_EQ(mMixin.SetInput(&number, 6), -1) << "an integer is never read as a record";
}

TEST_F(VideoInputMixinReceivingRecords, OverrideIndexWinsOverTheSource) {
  mMixin.SetOverrideIndex(12);
  Record image = ImageRecord(true);
  EXPECT_EQ(Take(image, 4), 12);
  EXPECT_EQ(mMixin.SourceIndex(), 4);
}

TEST_F(VideoInputMixinReceivingRecords, DestructionReleasesTheHeldTexture) {
  {
    CVideoInputMixin mixin;
    Record texture = TextureRecord(&mTextureB, 1);
    Value value = MakeDataValue(texture.mBytes);
    mixin.SetInput(&value, 0);
  }
  EXPECT_EQ(gTextureLog, (std::vector<std::string>{"retain B", "release B"}));
}

}  // namespace
