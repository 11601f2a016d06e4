// Whole frames Bonescope draws, compared byte for byte with the reference
// PNG files in reference_frames/: one standing figure under a few property
// sets (default properties, a turned camera with translucent spheres,
// polygons, the crosshair alone, a tall frame). Linux (EGL) and Windows
// (WGL under Wine) compare against the same files, so a pass on both means
// both plug-in files draw the same pixels.
//
// The files are Mesa llvmpipe's frames; on another renderer the comparison
// means nothing and the cases are skipped. To write the files anew (after a
// deliberate change of the drawing), run this test with
// VORL_WRITE_REFERENCE_FRAMES set to the folder to write them to.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

#include "host/gl/gl_image_buffer_backend.h"
#include "host/gl/png_reader.h"
#include "host/gl/png_writer.h"
#include "host/host.h"
#include "skeleton/skeleton_pkg.h"

namespace {

using vhost::RgbaImage;

// A figure standing at the origin, 1.7 m tall, in metres.
constexpr std::array<std::array<float, 3>, 19> kStandingFigure = {{
    {0.0f, 0.0f, 0.0f},       {0.0f, 0.25f, 0.02f},     {0.0f, 0.5f, 0.03f},
    {0.0f, 0.65f, 0.02f},     {0.0f, 0.8f, 0.05f},      {-0.2f, 0.58f, 0.0f},
    {-0.3f, 0.3f, 0.05f},     {-0.35f, 0.05f, 0.15f},   {0.2f, 0.58f, 0.0f},
    {0.32f, 0.32f, -0.05f},   {0.45f, 0.1f, -0.1f},     {-0.1f, -0.05f, 0.0f},
    {-0.12f, -0.45f, 0.08f},  {-0.13f, -0.85f, 0.0f},   {-0.14f, -0.9f, 0.12f},
    {0.1f, -0.05f, 0.0f},     {0.15f, -0.45f, -0.05f},  {0.18f, -0.82f, -0.15f},
    {0.2f, -0.88f, -0.02f},
}};

// Where the differences between two frames are.
struct FrameDifference {
  size_t mPixels = 0;
  int mFirstX = -1;
  int mFirstY = -1;
  int mLargestStep = 0;  // largest difference of one channel
};

FrameDifference Compare(const RgbaImage& actual, const RgbaImage& expected) {
  FrameDifference difference;
  for (int y = 0; y < actual.mHeight; ++y) {
    for (int x = 0; x < actual.mWidth; ++x) {
      const vhost::RgbaPixel a = actual.At(x, y);
      const vhost::RgbaPixel e = expected.At(x, y);
      if (a == e) continue;
      if (difference.mPixels++ == 0) {
        difference.mFirstX = x;
        difference.mFirstY = y;
      }
      for (int step : {a.r - e.r, a.g - e.g, a.b - e.b, a.a - e.a}) {
        difference.mLargestStep = std::max(difference.mLargestStep, std::abs(step));
      }
    }
  }
  return difference;
}

class BonescopeReferenceFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto backend = vhost::CGLImageBufferBackend::Create(&error);
    ASSERT_NE(backend, nullptr) << "no GL context: " << error;
    mBackend = backend.get();
    mHost.SetImageBufferBackend(std::move(backend));
    const std::string renderer = mBackend->Context().Renderer();
    if (renderer.find("llvmpipe") == std::string::npos) {
      GTEST_SKIP() << "the reference frames are llvmpipe's; this context renders with '" << renderer << "'";
    }
    const char* dir = std::getenv("VORL_PLUGIN_DIR");
    ASSERT_NE(dir, nullptr) << "VORL_PLUGIN_DIR is not set";
    mScope = &mHost.Spawn(vhost::LoadPlugin(std::string(dir) + "/bonescope" VORL_PLUGIN_SUFFIX), "scope");
  }
  void TearDown() override {
    if (mScope != nullptr) {
      mHost.Dispose(*mScope);
      EXPECT_TRUE(mHost.Violations().empty());
      EXPECT_TRUE(mHost.Assertions().empty());
    }
    DisposeSkeletonPkg(mSkeleton);
  }

  void SetInteger(uint16_t index, int64_t n) { mHost.SetInput(*mScope, index, vhost::CHostValue::Integer(n)); }
  void SetFloat(uint16_t index, double d) { mHost.SetInput(*mScope, index, vhost::CHostValue::Float(d)); }

  // The standing figure, each coordinate times `scale`, in `unit`; or a
  // tracked package without points.
  void SetFigure(float scale, uint8_t unit, bool withPoints = true) {
    mSkeleton = CreateSkeletonPkg(withPoints ? static_cast<uint32_t>(kStandingFigure.size()) : 0);
    mSkeleton->unit = unit;
    mSkeleton->tracking_state = kSkeletonTracked;
    for (size_t i = 0; withPoints && i < kStandingFigure.size(); ++i) {
      mSkeleton->points[i].x = kStandingFigure[i][0] * scale;
      mSkeleton->points[i].y = kStandingFigure[i][1] * scale;
      mSkeleton->points[i].z = kStandingFigure[i][2] * scale;
    }
    mHost.InjectInput(*mScope, 1, vhost::CHostValue::Data(mSkeleton), 0);
  }

  // Renders one frame and compares it with reference_frames/NAME.png, or
  // writes it there when asked to.
  void ExpectReferenceFrame(const std::string& name) {
    const uint64_t mark = mHost.Mark();
    mHost.RequestRender();
    const auto sent = mHost.OutputsSince(mark, mScope, "vout");
    ASSERT_FALSE(sent.empty()) << "no frame sent";
    RgbaImage frame;
    ASSERT_TRUE(mBackend->ReadFrame(sent.back()->mValue.AsPointer(), frame));

    std::string error;
    if (const char* writeTo = std::getenv("VORL_WRITE_REFERENCE_FRAMES")) {
      const std::string path = std::string(writeTo) + "/" + name + ".png";
      ASSERT_TRUE(vhost::WriteRgbaPng(path, frame, &error)) << error;
      GTEST_SKIP() << "wrote " << path;
    }
    const char* source = std::getenv("VORL_SOURCE_DIR");
    ASSERT_NE(source, nullptr) << "VORL_SOURCE_DIR is not set";
    const std::string path = std::string(source) + "/tests/skeleton_renderer/reference_frames/" + name + ".png";
    RgbaImage expected;
    ASSERT_TRUE(vhost::ReadRgbaPng(path, expected, &error)) << error;
    ASSERT_EQ(frame.mWidth, expected.mWidth) << name;
    ASSERT_EQ(frame.mHeight, expected.mHeight) << name;
    if (frame.mPixels == expected.mPixels) return;
    const FrameDifference difference = Compare(frame, expected);
    const std::string actualPath = ::testing::TempDir() + name + "_actual.png";
    vhost::WriteRgbaPng(actualPath, frame, nullptr);
    ADD_FAILURE() << name << ": " << difference.mPixels << " pixel(s) differ from " << path
                  << ", the first at (" << difference.mFirstX << ", " << difference.mFirstY
                  << "), by up to " << difference.mLargestStep << " in a channel; the frame drawn is "
                  << actualPath << " (renderer " << mBackend->Context().Renderer() << ", "
                  << mBackend->Context().Version() << ")";
  }

  vhost::CHost mHost;
  vhost::CGLImageBufferBackend* mBackend = nullptr;  // owned by mHost
  vhost::CActorInstance* mScope = nullptr;
  SkeletonPkg* mSkeleton = nullptr;
};

TEST_F(BonescopeReferenceFrames, DefaultProperties) {
  SetFigure(1.0f, kSkeletonUnitMetres);
  ExpectReferenceFrame("default_properties");
}

TEST_F(BonescopeReferenceFrames, TranslucentSpheresUnderATurnedCamera) {
  SetInteger(20, 640);
  SetInteger(21, 360);
  SetFloat(3, 4);       // radius 0.04
  SetInteger(4, 10);    // 10 slices and stacks
  SetFloat(5, 60);      // alpha 0.6
  SetFloat(12, 15);
  SetFloat(13, -35);
  SetFloat(14, 5);
  SetFloat(15, 0.2);
  SetFloat(17, -2.5);
  SetFigure(1000.0f, kSkeletonUnitMillimetres);
  ExpectReferenceFrame("translucent_spheres_turned_camera");
}

TEST_F(BonescopeReferenceFrames, TurnedHexagonsFromBothSidesWithoutDepthTest) {
  SetInteger(20, 480);
  SetInteger(21, 480);
  SetInteger(2, 0);     // polygons
  SetInteger(4, 6);
  SetFloat(3, 6);
  SetFloat(6, 30);
  SetFloat(7, 40);
  SetFloat(8, 10);
  SetInteger(9, 0);     // no lighting
  SetInteger(10, 1);    // back faces too
  SetInteger(11, 0);    // no depth test
  SetInteger(18, 0);    // no crosshair
  SetFigure(1.0f, kSkeletonUnitMetres);
  ExpectReferenceFrame("hexagons_both_sides_no_depth_test");
}

TEST_F(BonescopeReferenceFrames, CrosshairAlone) {
  SetInteger(20, 400);
  SetInteger(21, 300);
  SetFloat(19, 0.8);
  SetFloat(12, 25);
  SetFloat(13, 40);
  SetFigure(1.0f, kSkeletonUnitMetres, false);
  ExpectReferenceFrame("crosshair_alone");
}

TEST_F(BonescopeReferenceFrames, TallFrameSeenFromTheSide) {
  SetInteger(20, 270);
  SetInteger(21, 480);
  SetInteger(4, 5);
  SetFloat(13, 90);
  SetFloat(19, 0.3);
  SetFigure(100.0f, kSkeletonUnitCentimetres);
  ExpectReferenceFrame("tall_frame_side_view");
}

}  // namespace
