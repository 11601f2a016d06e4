// The live preview: its canvas puts every video actor's frame side by side
// under the actor's name, and the window shows, pixel for pixel, the last
// frame each Bonescope sent during a run. The window tests need a display:
// CTest runs them under xvfb-run; without one they are skipped.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "host/gl/gl_image_buffer_backend.h"
#include "host/host.h"
#include "host/run/run_loop.h"
#include "host/window/preview_canvas.h"
#include "host/window/preview_window.h"
#include "host/window/video_preview.h"
#include "skeleton/skeleton_pkg.h"

namespace {

using vhost::RgbaImage;
using vhost::RgbaPixel;

RgbaImage Filled(int32_t width, int32_t height, RgbaPixel colour) {
  RgbaImage image;
  image.mWidth = width;
  image.mHeight = height;
  for (int32_t i = 0; i < width * height; ++i) image.mPixels.insert(image.mPixels.end(), {colour.r, colour.g, colour.b, colour.a});
  return image;
}

// Where `inner` differs from `outer` at the placement's offset; empty when
// every pixel matches (colours only: the window is opaque).
std::string FirstDifference(const RgbaImage& outer, const vhost::CPreviewPlacement& at, const RgbaImage& inner) {
  if (at.mWidth != inner.mWidth || at.mHeight != inner.mHeight) return "the placement has another size";
  for (int32_t y = 0; y < inner.mHeight; ++y) {
    for (int32_t x = 0; x < inner.mWidth; ++x) {
      const RgbaPixel shown = outer.At(at.mX + x, at.mY + y);
      const RgbaPixel sent = inner.At(x, y);
      if (shown.r != sent.r || shown.g != sent.g || shown.b != sent.b) {
        return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") of " + at.mName + " differs";
      }
    }
  }
  return "";
}

}  // namespace

TEST(PreviewCanvas, PicturesSitSideBySideUnderTheirNames) {
  const RgbaImage red = Filled(30, 20, {200, 0, 0, 255});
  const RgbaImage blue = Filled(40, 10, {0, 0, 200, 255});
  const vhost::CPreviewCanvas canvas = vhost::ComposePreview({{"left", red}, {"right", blue}});
  ASSERT_EQ(canvas.mPlacements.size(), 2u);
  const auto& left = canvas.mPlacements[0];
  const auto& right = canvas.mPlacements[1];
  EXPECT_EQ(left.mName, "left");
  EXPECT_GE(right.mX, left.mX + left.mWidth) << "side by side, no overlap";
  EXPECT_EQ(left.mY, right.mY);
  EXPECT_EQ(FirstDifference(canvas.mImage, left, red), "");
  EXPECT_EQ(FirstDifference(canvas.mImage, right, blue), "");
  EXPECT_LE(right.mX + right.mWidth, canvas.mImage.mWidth);
  EXPECT_LE(left.mY + left.mHeight, canvas.mImage.mHeight);
  // The name is drawn above its picture, in a colour of its own.
  std::set<std::array<uint8_t, 3>> above;
  for (int32_t y = 0; y < left.mY; ++y) {
    for (int32_t x = left.mX; x < left.mX + left.mWidth; ++x) {
      const RgbaPixel p = canvas.mImage.At(x, y);
      above.insert({p.r, p.g, p.b});
    }
  }
  EXPECT_GE(above.size(), 2u) << "a label over the ground";

  // A frame whose pixels do not add up is left blank, not read past.
  RgbaImage broken = red;
  broken.mPixels.resize(10);
  EXPECT_EQ(vhost::ComposePreview({{"broken", broken}}).mPlacements.size(), 1u);
}

namespace {

// Keeps, read back, the last frame each instance sent on its video output.
class CLastFrames : public vhost::CRunObserver {
 public:
  explicit CLastFrames(vhost::CGLImageBufferBackend& backend) : mBackend(backend) {}
  void OnRender(vhost::CRunLoop& loop, uint64_t mark, Clock::time_point, Clock::time_point) override {
    for (const vhost::COutputRecord* record : loop.Host().OutputsSince(mark)) {
      if (record->mOutputID != "vout") continue;
      RgbaImage image;
      ASSERT_TRUE(mBackend.ReadFrame(record->mValue.AsPointer(), image));
      mFrames[record->mInstanceName] = image;
    }
  }
  std::map<std::string, RgbaImage> mFrames;

 private:
  vhost::CGLImageBufferBackend& mBackend;
};

class PreviewWindow : public testing::Test {
 protected:
  void SetUp() override {
    if (!vhost::CPreviewWindow::DisplayNamed()) GTEST_SKIP() << "no display: run under xvfb-run";
    std::string error;
    auto backend = vhost::CGLImageBufferBackend::Create(&error);
    ASSERT_NE(backend, nullptr) << "no headless GL context: " << error;
    mBackend = backend.get();
    mHost.SetImageBufferBackend(std::move(backend));
    const char* dir = std::getenv("VORL_PLUGIN_DIR");
    ASSERT_NE(dir, nullptr) << "VORL_PLUGIN_DIR is not set";
    mSkeleton = CreateSkeletonPkg(3);
    mSkeleton->unit = 2;
    mSkeleton->tracking_state = kSkeletonTracked;
    const std::array<std::array<float, 3>, 3> points = {{{0, 0, 0}, {0.4f, 0.3f, 0}, {-0.3f, -0.2f, 0.1f}}};
    for (size_t i = 0; i < points.size(); ++i) {
      mSkeleton->points[i].x = points[i][0];
      mSkeleton->points[i].y = points[i][1];
      mSkeleton->points[i].z = points[i][2];
    }
    const vhost::CPlugin& plugin = vhost::LoadPlugin(std::string(dir) + "/bonescope.so");
    for (const char* name : {"scope-a", "scope-b"}) {
      vhost::CActorInstance& scope = mHost.Spawn(plugin, name);
      mHost.SetInput(scope, mHost.InputIndex(scope, "width"), vhost::CHostValue::Integer(mScopes.empty() ? 96 : 64));
      mHost.SetInput(scope, mHost.InputIndex(scope, "height"), vhost::CHostValue::Integer(48));
      mHost.SetInput(scope, mHost.InputIndex(scope, "obj_size"), vhost::CHostValue::Float(mScopes.empty() ? 10 : 20));
      mHost.InjectInput(scope, mHost.InputIndex(scope, "skeleton_in"), vhost::CHostValue::Data(mSkeleton), 0);
      mScopes.push_back(&scope);
    }
  }
  void TearDown() override {
    for (vhost::CActorInstance* scope : mScopes) mHost.Dispose(*scope);
    DisposeSkeletonPkg(mSkeleton);
  }

  vhost::CHost mHost;
  vhost::CGLImageBufferBackend* mBackend = nullptr;  // owned by mHost
  std::vector<vhost::CActorInstance*> mScopes;
  SkeletonPkg* mSkeleton = nullptr;
};

}  // namespace

TEST_F(PreviewWindow, ShowsTheLastFrameEachVideoActorSentUnderItsName) {
  std::string error;
  auto window = vhost::CPreviewWindow::Open("preview test", &error);
  ASSERT_NE(window, nullptr) << error;
  vhost::CRunSchedule schedule;
  schedule.mPaced = false;
  schedule.mTickRate = 10;
  schedule.mRenderRate = 10;
  schedule.mTickLimit = 3;
  vhost::CRunLoop loop(mHost, schedule);
  vhost::CVideoPreview preview(*window);
  CLastFrames last(*mBackend);
  loop.Add(preview);
  loop.Add(last);
  loop.Run();
  EXPECT_FALSE(window->Closed());

  const vhost::CPreviewCanvas shown = window->WaitShown(60.0);
  ASSERT_EQ(shown.mPlacements.size(), 2u) << "the window showed nothing in time";
  for (const auto& placement : shown.mPlacements) {
    SCOPED_TRACE(placement.mName);
    ASSERT_EQ(last.mFrames.count(placement.mName), 1u);
    const RgbaImage& sent = last.mFrames[placement.mName];
    std::set<std::array<uint8_t, 3>> colours;
    for (int32_t y = 0; y < sent.mHeight; ++y) {
      for (int32_t x = 0; x < sent.mWidth; ++x) colours.insert({sent.At(x, y).r, sent.At(x, y).g, sent.At(x, y).b});
    }
    EXPECT_GE(colours.size(), 2u) << "the figure was drawn, so a mismatch would show";
    EXPECT_EQ(FirstDifference(shown.mImage, placement, sent), "");
  }
  EXPECT_EQ(shown.mPlacements[0].mName, "scope-a");
  EXPECT_EQ(shown.mPlacements[0].mWidth, 96);
  EXPECT_EQ(shown.mPlacements[1].mName, "scope-b");
}
