// CVideoHelper against a host that records its calls: buffer life cycle,
// output rules, context loss, and the order in which GL objects are released.
#include "skeleton_renderer/video_helper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "framework/value_access.h"
#include "host/gl/gl_image_buffer_backend.h"
#include "tests/skeleton_renderer/fake_video_host.h"

using ::testing::ElementsAre;

namespace {

int32_t TextureMark(void* buffer) {
  void* texture = nullptr;
  std::memcpy(&texture, static_cast<char*>(buffer) + 16, sizeof(texture));
  int32_t mark = 0;
  std::memcpy(&mark, static_cast<char*>(texture) + 56, sizeof(mark));
  return mark;
}

// GL objects that note their release in the host's call log, so the log
// shows them between the drawing brackets.
class CLoggedResource : public CGLResource {
 public:
  CLoggedResource(CFakeVideoHost& host, const char* name) : mHost(host), mName(name) {}
  ~CLoggedResource() override { mHost.Record(FakeHostCall{mName}); }

 private:
  CFakeVideoHost& mHost;
  const char* mName;
};

class CLoggedCompanion final : public CTextureCompanion {
 public:
  explicit CLoggedCompanion(CFakeVideoHost& host) : mHost(host) {}
  void TextureDeleted() override { mHost.Record(FakeHostCall{"CompanionTold"}); }

 private:
  CFakeVideoHost& mHost;
};

class VideoHelperWithFakeHost : public ::testing::Test {
 protected:
  Value FrameValue() { return MakeDataValue(mFrameRecord); }
  void MakeBuffer(int32_t w = 1280, int32_t h = 720) {
    mHelper.PrepareOutputBuffers(0, {w, h}, false, true);
    mHost.ClearCalls();
  }

  CFakeVideoHost mHost;
  CVideoHelper mHelper{mHost.Params(), mHost.Info(), 0, 1, 1};
  uint8_t mFrameRecord[24] = {};
};

TEST_F(VideoHelperWithFakeHost, ModeFlagsPickModeByPrecedence) {
  mHelper.SetMode(0x800000);
  EXPECT_EQ(mHelper.Mode(), 2);
  EXPECT_TRUE(mHost.mCalls.empty()) << "nothing sent and no buffer: no host call";
  mHelper.SetMode(0x800 | 0x800000);
  EXPECT_EQ(mHelper.Mode(), 1);
  mHelper.SetMode(0x200000 | 0x800000);
  EXPECT_EQ(mHelper.Mode(), 3);
  mHelper.SetMode(0);
  EXPECT_EQ(mHelper.Mode(), 0);
}

TEST_F(VideoHelperWithFakeHost, ModeChangeDropsBufferAndEmptiesOutput) {
  mHelper.SetMode(0x800000);
  MakeBuffer();
  Value frame = FrameValue();
  mHelper.SendOutput(&frame);
  mHost.ClearCalls();
  mHelper.SetMode(0x800);
  EXPECT_THAT(mHost.CallNames(), ElementsAre("DisposeImageBuffer", "SetOutputPropertyValue"));
  EXPECT_EQ(mHost.mCalls[1].mValue.mData, nullptr);
  EXPECT_FALSE(mHelper.HasBufferTable());
  mHost.ClearCalls();
  mHelper.SetMode(0x800);
  EXPECT_TRUE(mHost.mCalls.empty()) << "same mode again changes nothing";
}

TEST_F(VideoHelperWithFakeHost, FirstPrepareCreatesBufferWithOptionFlagAndMarksTexture) {
  EXPECT_TRUE(mHelper.PrepareOutputBuffers(0, {1280, 720}, false, true));
  const auto creates = mHost.CallsOf("CreateImageBuffer");
  ASSERT_EQ(creates.size(), 1u);
  EXPECT_EQ(creates[0].mRef, mHost.ActorRef());
  EXPECT_EQ(creates[0].mArgs[0], 0);
  EXPECT_EQ(creates[0].mArgs[1], 1280);
  EXPECT_EQ(creates[0].mArgs[2], 720);
  EXPECT_EQ(creates[0].mArgs[3], 1);
  ASSERT_NE(mHelper.Buffer(0), nullptr);
  EXPECT_EQ(mHelper.BufferContext(), 0);
  EXPECT_EQ(TextureMark(mHelper.Buffer(0)), 1);
}

TEST_F(VideoHelperWithFakeHost, SameSizeTwiceReturnsFalseWithoutHostCall) {
  MakeBuffer();
  EXPECT_FALSE(mHelper.PrepareOutputBuffers(0, {1280, 720}, false, true));
  EXPECT_TRUE(mHost.mCalls.empty());
}

TEST_F(VideoHelperWithFakeHost, SizeChangeDisposesAndRecreatesWithFlagsOne) {
  MakeBuffer();
  void* old = mHelper.Buffer(0);
  EXPECT_TRUE(mHelper.PrepareOutputBuffers(0, {640, 480}, false, true));
  ASSERT_THAT(mHost.CallNames(), ElementsAre("DisposeImageBuffer", "CreateImageBuffer"));
  EXPECT_EQ(mHost.mCalls[0].mPointer, old);
  EXPECT_EQ(mHost.mCalls[1].mArgs[1], 640);
  EXPECT_EQ(mHost.mCalls[1].mArgs[2], 480);
  EXPECT_EQ(mHost.mCalls[1].mArgs[3], 1);
  EXPECT_NE(mHelper.Buffer(0), old);
}

TEST_F(VideoHelperWithFakeHost, ClearOnCreateAddsFlagAndFillsInsideADrawBracket) {
  mHelper.PrepareOutputBuffers(0, {64, 32}, true, false);
  ASSERT_THAT(mHost.CallNames(),
              ElementsAre("CreateImageBuffer", "BeginImageBufferDraw", "EndImageBufferDraw"));
  EXPECT_EQ(mHost.mCalls[0].mArgs[3], 0x80);
  EXPECT_EQ(mHost.mCalls[1].mArgs[0], 1);
}

TEST_F(VideoHelperWithFakeHost, ClearOnCreateLeavesTheNewBufferOpaqueBlack) {
  std::string error;
  auto backend = vhost::CGLImageBufferBackend::Create(&error);
  ASSERT_NE(backend, nullptr) << error;
  mHost.UseBackend(backend.get());
  {
    CVideoHelper helper(mHost.Params(), mHost.Info(), 0, 1, 1);
    helper.PrepareOutputBuffers(0, {32, 16}, true, false);
    vhost::RgbaImage image;
    ASSERT_TRUE(backend->ReadBuffer(helper.Buffer(0), image));
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 32; ++x) {
        ASSERT_EQ(image.At(x, y), (vhost::RgbaPixel{0, 0, 0, 255})) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(backend->LiveBufferCount(), 0u);
}

TEST_F(VideoHelperWithFakeHost, ZeroOrNegativeSizeMakesNoBufferAndReportsChange) {
  EXPECT_TRUE(mHelper.PrepareOutputBuffers(0, {0, 720}, false, true));
  EXPECT_TRUE(mHelper.PrepareOutputBuffers(0, {1280, -4}, false, true));
  EXPECT_TRUE(mHelper.PrepareOutputBuffers(0, {-1, -1}, false, true));
  EXPECT_TRUE(mHost.mCalls.empty());
  EXPECT_FALSE(mHelper.HasBufferTable());
}

TEST_F(VideoHelperWithFakeHost, FailedCreationIsTriedAgainAtTheNextPrepare) {
  mHost.mFailCreate = true;
  EXPECT_TRUE(mHelper.PrepareOutputBuffers(0, {1280, 720}, false, true));
  EXPECT_EQ(mHelper.Buffer(0), nullptr);
  EXPECT_EQ(mHelper.BufferContext(), -1);
  mHost.ClearCalls();

  mHost.mFailCreate = false;
  EXPECT_TRUE(mHelper.PrepareOutputBuffers(0, {1280, 720}, false, true));
  EXPECT_THAT(mHost.CallNames(), ElementsAre("CreateImageBuffer"))
      << "the empty table is dropped without a host call";
  EXPECT_NE(mHelper.Buffer(0), nullptr);
  EXPECT_EQ(mHelper.BufferContext(), 0);
}

TEST_F(VideoHelperWithFakeHost, NullFrameIsSentOnceAfterAFrame) {
  Value frame = FrameValue();
  mHelper.SendOutput(&frame);
  EXPECT_TRUE(mHelper.OutputSent());
  EXPECT_FALSE(mHelper.OutputEmpty());
  mHelper.SendEmptyOutput();
  mHelper.SendEmptyOutput();
  const auto sent = mHost.CallsOf("SetOutputPropertyValue");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].mArgs[0], 1);
  EXPECT_EQ(sent[0].mValue.mData, mFrameRecord);
  EXPECT_EQ(sent[1].mValue.mType, kValueTypeData);
  EXPECT_EQ(sent[1].mValue.mData, nullptr);
  EXPECT_TRUE(mHelper.OutputEmpty());
}

TEST_F(VideoHelperWithFakeHost, SendingANullPayloadLeavesNothingToEmpty) {
  Value empty = MakeDataValue(nullptr);
  mHelper.SendOutput(&empty);
  EXPECT_FALSE(mHelper.OutputSent());
  mHost.ClearCalls();
  mHelper.SendEmptyOutput();
  EXPECT_TRUE(mHost.mCalls.empty());
}

TEST_F(VideoHelperWithFakeHost, ContextLossCarryingContextPlusOneDropsBuffers) {
  MakeBuffer();
  Value frame = FrameValue();
  mHelper.SendOutput(&frame);
  mHost.ClearCalls();
  const int32_t one = 1;
  EXPECT_TRUE(mHelper.HandleContextLost(&one));
  EXPECT_THAT(mHost.CallNames(), ElementsAre("DisposeImageBuffer", "SetOutputPropertyValue"));
  EXPECT_FALSE(mHelper.HasBufferTable());
  EXPECT_EQ(mHelper.BufferContext(), -1);
  EXPECT_FALSE(mHelper.HandleContextLost(&one)) << "nothing left to drop";
}

TEST_F(VideoHelperWithFakeHost, ContextLossForAnotherContextChangesNothing) {
  MakeBuffer();
  for (int32_t number : {0, 2, -1}) {
    EXPECT_FALSE(mHelper.HandleContextLost(&number)) << number;
  }
  EXPECT_FALSE(mHelper.HandleContextLost(nullptr));
  EXPECT_TRUE(mHost.mCalls.empty());
  EXPECT_NE(mHelper.Buffer(0), nullptr);
}

TEST_F(VideoHelperWithFakeHost, ContextLossIsIgnoredInModeOne) {
  mHelper.SetMode(0x800);
  MakeBuffer();
  const int32_t one = 1;
  EXPECT_FALSE(mHelper.HandleContextLost(&one));
  EXPECT_NE(mHelper.Buffer(0), nullptr);
}

TEST_F(VideoHelperWithFakeHost, HostHandleIsReleasedWhenTheSizeChanges) {
  MakeBuffer();
  int handle = 0;
  mHelper.SetHostHandle(&handle);
  mHelper.PrepareOutputBuffers(0, {320, 240}, false, true);
  const auto releases = mHost.CallsOf("ReleaseVideoHandle");
  ASSERT_EQ(releases.size(), 1u);
  EXPECT_EQ(releases[0].mPointer, &handle);
  EXPECT_EQ(mHelper.HostHandle(), nullptr);
}

TEST_F(VideoHelperWithFakeHost, ResetEmptiesOutputDisposesBufferAndClearsInputs) {
  CVideoHelper helper(mHost.Params(), mHost.Info(), 2, 1, 1);
  helper.PrepareOutputBuffers(0, {16, 16}, false, true);
  uint8_t image[80] = {};
  const uint32_t code = 0x696D6762;
  const uint32_t mark = 0x12345678;
  std::memcpy(image, &code, 4);
  std::memcpy(image + 72, &mark, 4);
  Value input = MakeDataValue(image);
  helper.Input(1).SetInput(&input, 3);
  Value frame = FrameValue();
  helper.SendOutput(&frame);
  mHost.ClearCalls();

  helper.Reset();
  EXPECT_THAT(mHost.CallNames(), ElementsAre("SetOutputPropertyValue", "DisposeImageBuffer"));
  EXPECT_EQ(helper.Input(1).ImageRecord(), nullptr);
  EXPECT_EQ(helper.Input(1).Kind(), kImageRecordCode) << "Clear forgets records only";
}

TEST_F(VideoHelperWithFakeHost, DestructorSendsNullFrameAndDisposesBuffer) {
  {
    CVideoHelper helper(mHost.Params(), mHost.Info(), 0, 1, 1);
    helper.PrepareOutputBuffers(0, {16, 16}, false, true);
    Value frame = FrameValue();
    helper.SendOutput(&frame);
    helper.GLObjects().mPixelBlock = std::malloc(64);  // owned: a leak check catches a miss
    helper.GLObjects().mOwnsPixelBlock = true;
    mHost.ClearCalls();
  }
  EXPECT_THAT(mHost.CallNames(), ElementsAre("SetOutputPropertyValue", "DisposeImageBuffer"));
}

class VideoHelperGLObjectRelease : public VideoHelperWithFakeHost {
 protected:
  void InstallObjects() {
    MakeBuffer(32, 32);
    VideoGLObjects& gl = mHelper.GLObjects();
    gl.mTextureA = 0x7FFF0001;  // names no context has: deleting them is harmless
    gl.mCompanionA.mWords[0] = 5;
    gl.mCompanionA.mWords[1] = 6;
    gl.mCompanionA.mCompanion = &mCompanion;
    gl.mCompanionA.mState = 9;
    gl.mTextureB = 0x7FFF0002;
    gl.mResources[0] = std::make_unique<CLoggedResource>(mHost, "Resource0");
    gl.mResources[2] = std::make_unique<CLoggedResource>(mHost, "Resource2");
  }

  CLoggedCompanion mCompanion{mHost};
};

TEST_F(VideoHelperGLObjectRelease, EachObjectIsDeletedInItsOwnBracketBeforeTheBufferGoes) {
  InstallObjects();
  mHelper.ReleaseOutputBuffers();
  EXPECT_THAT(mHost.CallNames(),
              ElementsAre("BeginImageBufferDraw", "CompanionTold", "EndImageBufferDraw",
                          "BeginImageBufferDraw", "EndImageBufferDraw",
                          "BeginImageBufferDraw", "Resource0", "EndImageBufferDraw",
                          "BeginImageBufferDraw", "Resource2", "EndImageBufferDraw",
                          "DisposeImageBuffer"));
  EXPECT_EQ(mHost.mCalls[0].mArgs[0], 0) << "housekeeping brackets pass 0";
  const VideoGLObjects& gl = mHelper.GLObjects();
  EXPECT_EQ(gl.mTextureA, 0u);
  EXPECT_EQ(gl.mTextureB, 0u);
  EXPECT_EQ(gl.mCompanionA.mWords[0], 0u);
  EXPECT_EQ(gl.mCompanionA.mWords[1], 0u);
  EXPECT_EQ(gl.mCompanionA.mCompanion, nullptr);
  EXPECT_EQ(gl.mCompanionA.mState, -1);
  EXPECT_FALSE(mHelper.HasBufferTable());
}

TEST_F(VideoHelperGLObjectRelease, NoBracketIsOpenedWhileADrawIsInProgress) {
  InstallObjects();
  CFakeVideoHost::SetDrawing(mHelper.Buffer(0), true);
  mHelper.ReleaseOutputBuffers();
  EXPECT_THAT(mHost.CallNames(),
              ElementsAre("CompanionTold", "Resource0", "Resource2", "DisposeImageBuffer"));
}

TEST_F(VideoHelperGLObjectRelease, ObjectsStayWhenTheBracketCannotOpenButBuffersGo) {
  InstallObjects();
  mHost.mFailBegin = true;
  mHelper.ReleaseOutputBuffers();
  EXPECT_EQ(mHost.Count("BeginImageBufferDraw"), 4u);
  EXPECT_EQ(mHost.Count("EndImageBufferDraw"), 0u);
  EXPECT_EQ(mHost.Count("DisposeImageBuffer"), 1u);
  VideoGLObjects& gl = mHelper.GLObjects();
  EXPECT_EQ(gl.mTextureA, 0x7FFF0001u);
  EXPECT_EQ(gl.mTextureB, 0x7FFF0002u);
  EXPECT_EQ(gl.mCompanionA.mState, 9);
  EXPECT_NE(gl.mResources[0], nullptr);
  EXPECT_NE(gl.mResources[2], nullptr);
  EXPECT_FALSE(mHelper.HasBufferTable());
  // A later release with a working host finishes the job.
  mHost.mFailBegin = false;
  mHelper.PrepareOutputBuffers(0, {32, 32}, false, true);
  mHost.ClearCalls();
  mHelper.ReleaseOutputBuffers();
  EXPECT_EQ(mHost.Count("Resource0"), 1u);
  EXPECT_EQ(gl.mTextureA, 0u);
}

TEST_F(VideoHelperGLObjectRelease, WithoutBufferZeroNoGLCallIsAttempted) {
  InstallObjects();
  mHelper.ReleaseOutputBuffers();
  mHost.mFailCreate = true;
  mHelper.GLObjects().mTextureB = 0x7FFF0003;
  mHelper.PrepareOutputBuffers(0, {32, 32}, false, true);
  mHost.ClearCalls();
  mHelper.ReleaseOutputBuffers();
  EXPECT_TRUE(mHost.mCalls.empty());
  EXPECT_EQ(mHelper.GLObjects().mTextureB, 0x7FFF0003u);
  mHelper.GLObjects().mTextureB = 0;
}

}  // namespace
