// Frames Bonescope draws into real OpenGL image buffers (headless Mesa): the
// joints, camera, crosshair, unit scaling, blending and object shapes land on
// the pixels the projection predicts, and the frame leaves the context's
// matrices as it found them.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numbers>
#include <string>

#include "host/gl/gl_image_buffer_backend.h"
#include "skeleton/skeleton_pkg.h"
#include "host/gl/numbered_frame_writer.h"
#include "host/gl/png_reader.h"
#include "host/host.h"

namespace {

using vhost::RgbaImage;
using vhost::RgbaPixel;

constexpr RgbaPixel kTransparent{0, 0, 0, 0};
constexpr RgbaPixel kWhite{255, 255, 255, 255};
constexpr RgbaPixel kRed{255, 0, 0, 255};
constexpr RgbaPixel kGreen{0, 255, 0, 255};
constexpr RgbaPixel kBlue{0, 0, 255, 255};

struct Point2 {
  double x;
  double y;
};

// Where an eye-space point lands, in image coordinates (x right, y down from
// the top edge, pixel centres at +0.5): a 40-degree view across the shorter
// side, as the renderer sets it up.
Point2 Project(double ex, double ey, double ez, int width, int height) {
  const double base = std::tan(0.34906585) * 0.01;
  const double aspect = static_cast<float>(width) / static_cast<float>(height);
  const double right = aspect >= 1.0 ? base * aspect : base;
  const double top = aspect >= 1.0 ? base : base / aspect;
  const double ndcX = (0.01 * ex / -ez) / right;
  const double ndcY = (0.01 * ey / -ez) / top;
  return {(ndcX + 1.0) / 2.0 * width, height - (ndcY + 1.0) / 2.0 * height};
}

struct Blob {
  size_t mCount = 0;
  Point2 mCentre{0, 0};
};

Blob FindBlob(const RgbaImage& image, const std::function<bool(RgbaPixel)>& match) {
  Blob blob;
  double sx = 0;
  double sy = 0;
  for (int y = 0; y < image.mHeight; ++y) {
    for (int x = 0; x < image.mWidth; ++x) {
      if (!match(image.At(x, y))) continue;
      ++blob.mCount;
      sx += x + 0.5;
      sy += y + 0.5;
    }
  }
  if (blob.mCount > 0) blob.mCentre = {sx / blob.mCount, sy / blob.mCount};  // NOLINT(bugprone-narrowing-conversions)
  return blob;
}

bool Drawn(RgbaPixel p) { return p.a != 0; }

class BonescopeDrawnWithGL : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    auto backend = vhost::CGLImageBufferBackend::Create(&error);
    ASSERT_NE(backend, nullptr) << "no headless GL context: " << error;
    mBackend = backend.get();
    mHost.SetImageBufferBackend(std::move(backend));
    const char* dir = std::getenv("VORL_PLUGIN_DIR");
    ASSERT_NE(dir, nullptr) << "VORL_PLUGIN_DIR is not set";
    mScope = &mHost.Spawn(vhost::LoadPlugin(std::string(dir) + "/bonescope" VORL_PLUGIN_SUFFIX), "scope");
    SetSize(320, 180);
    SetInteger(9, 0);   // lighting off: objects are plain white
    SetInteger(18, 0);  // no crosshair unless a test wants it
    SetFloat(3, 10);    // radius 0.1
  }
  void TearDown() override {
    if (mScope != nullptr) {
      mHost.Dispose(*mScope);
      EXPECT_TRUE(mHost.Violations().empty());
      EXPECT_TRUE(mHost.Assertions().empty());
      EXPECT_EQ(mHost.LiveImageBuffers(), 0u);
    }
    DisposeSkeletonPkg(mSkeleton);
  }

  void SetInteger(uint16_t index, int64_t n) {
    mHost.SetInput(*mScope, index, vhost::CHostValue::Integer(n));
  }
  void SetFloat(uint16_t index, double d) {
    mHost.SetInput(*mScope, index, vhost::CHostValue::Float(d));
  }
  void SetData(const void* data) {
    mHost.InjectInput(*mScope, 1, vhost::CHostValue::Data(data), 0);
  }
  void SetSize(int w, int h) {
    mWidth = w;
    mHeight = h;
    SetInteger(20, w);
    SetInteger(21, h);
  }

  // A tracked package holding the given points, on input 1.
  void SetPoints(std::initializer_list<std::array<float, 3>> points, uint8_t unit = 2,
                 uint8_t state = kSkeletonTracked) {
    SetData(nullptr);  // the old package goes away below
    DisposeSkeletonPkg(mSkeleton);
    mSkeleton = CreateSkeletonPkg(static_cast<uint32_t>(points.size()));
    mSkeleton->unit = unit;
    mSkeleton->tracking_state = state;
    SkeletonPoint* out = mSkeleton->points;
    for (const auto& p : points) {
      out->x = p[0];
      out->y = p[1];
      out->z = p[2];
      ++out;
    }
    SetData(mSkeleton);
  }

  // Sends a render request and reads back the frame it sent.
  RgbaImage RenderFrame() {
    const uint64_t mark = mHost.Mark();
    mHost.RequestRender();
    RgbaImage image;
    const auto sent = mHost.OutputsSince(mark, mScope, "vout");
    if (sent.empty() || sent.back()->mValue.AsPointer() == nullptr) {
      ADD_FAILURE() << "no frame sent";
      return image;
    }
    mLastFrame = sent.back()->mValue.AsPointer();
    EXPECT_TRUE(mBackend->ReadFrame(mLastFrame, image));
    return image;
  }

  Point2 Predict(double x, double y, double z) { return Project(x, y, z - 3.0, mWidth, mHeight); }

  void ExpectBlobAt(const RgbaImage& image, Point2 expected, const char* what) {
    const Blob blob = FindBlob(image, Drawn);
    ASSERT_GT(blob.mCount, 10u) << what;
    EXPECT_NEAR(blob.mCentre.x, expected.x, 0.75) << what;
    EXPECT_NEAR(blob.mCentre.y, expected.y, 0.75) << what;
  }

  vhost::CHost mHost;
  vhost::CGLImageBufferBackend* mBackend = nullptr;  // owned by mHost
  vhost::CActorInstance* mScope = nullptr;
  SkeletonPkg* mSkeleton = nullptr;
  void* mLastFrame = nullptr;
  int mWidth = 0;
  int mHeight = 0;
};

TEST_F(BonescopeDrawnWithGL, EveryRequestSendsAMarkedFrameUnlessDrawingCannotBegin) {
  RenderFrame();
  ASSERT_NE(mLastFrame, nullptr) << "no skeleton yet, still a frame";
  EXPECT_EQ(static_cast<vhost::GLFrameRecord*>(mLastFrame)->mTexture->mFrameMark, 1);
  EXPECT_EQ(mHost.Video().Counters().mRenderBracketsBegun, mHost.Video().Counters().mRenderBracketsEnded);

  mHost.Video().Switches().mFailBeginImageBufferDraw = true;
  const uint64_t mark = mHost.Mark();
  mHost.RequestRender();
  EXPECT_TRUE(mHost.OutputsSince(mark, mScope, "vout").empty());
  mHost.Video().Switches().mFailBeginImageBufferDraw = false;

  const int32_t lost = 1;
  const auto delivery = mHost.LoseContext(lost);
  ASSERT_EQ(delivery.mResults.size(), 1u);
  EXPECT_EQ(delivery.mResults[0], 1);
  EXPECT_EQ(mHost.LiveImageBuffers(), 0u);
  EXPECT_EQ(mHost.LastOutput(*mScope, "vout")->mValue.AsPointer(), nullptr);
}

TEST_F(BonescopeDrawnWithGL, JointsLandWhereTheProjectionPutsThem) {
  for (const auto& p : {std::array<float, 3>{0, 0, 0}, {0.5f, 0.3f, 0}, {-0.6f, -0.2f, 0.5f},
                        {0.3f, -0.4f, -1.0f}}) {
    SetPoints({p});
    const RgbaImage image = RenderFrame();
    ExpectBlobAt(image, Predict(p[0], p[1], p[2]), "wide image");
    const Point2 centre = Predict(p[0], p[1], p[2]);
    EXPECT_EQ(image.At(static_cast<int>(centre.x), static_cast<int>(centre.y)), kWhite);
  }
  auto* frame = static_cast<vhost::GLFrameRecord*>(mLastFrame);
  EXPECT_EQ(frame->mTexture->mFrameMark, 1);
}

TEST_F(BonescopeDrawnWithGL, ATallImageSpansFortyDegreesAcross) {
  SetSize(180, 320);
  for (const auto& p : {std::array<float, 3>{0.5f, 0.3f, 0}, {-0.4f, -0.9f, 0.2f}}) {
    SetPoints({p});
    ExpectBlobAt(RenderFrame(), Predict(p[0], p[1], p[2]), "tall image");
  }
}

TEST_F(BonescopeDrawnWithGL, CameraTurnsAboutZThenYThenXAndThenMoves) {
  SetPoints({{0, 0, 0.5f}});
  SetFloat(12, 90);
  ExpectBlobAt(RenderFrame(), Predict(0, -0.5, 0), "x rotation 90");
  SetFloat(13, 90);
  ExpectBlobAt(RenderFrame(), Predict(0.5, 0, 0), "y then x");
  SetFloat(12, 0);
  SetFloat(13, 0);
  SetFloat(15, 0.4);
  SetFloat(17, -4);
  ExpectBlobAt(RenderFrame(), Project(0.4, 0, -3.5, mWidth, mHeight), "translation");
}

TEST_F(BonescopeDrawnWithGL, CrosshairAxesAreRedGreenAndBlue) {
  SetPoints({});
  SetInteger(18, 1);
  RgbaImage image = RenderFrame();
  const Point2 onX = Predict(0.5, 0, 0);
  const Point2 onY = Predict(0, 0.5, 0);
  const Point2 pastX = Predict(1.2, 0, 0);
  EXPECT_EQ(image.At(static_cast<int>(onX.x), static_cast<int>(onX.y)), kRed);
  EXPECT_EQ(image.At(static_cast<int>(onY.x), static_cast<int>(onY.y)), kGreen);
  EXPECT_EQ(image.At(static_cast<int>(pastX.x), static_cast<int>(pastX.y)), kTransparent)
      << "each axis runs from -L to L";

  SetFloat(13, 90);  // the z axis now runs across the image
  image = RenderFrame();
  const Point2 onZ = Predict(0.5, 0, 0);
  EXPECT_EQ(image.At(static_cast<int>(onZ.x), static_cast<int>(onZ.y)), kBlue);

  SetFloat(19, 0);
  EXPECT_EQ(FindBlob(RenderFrame(), Drawn).mCount, 0u) << "origin_size 0 draws no crosshair";
}

TEST_F(BonescopeDrawnWithGL, UnitsScaleMillimetresAndCentimetresToMetres) {
  const Point2 expected = Predict(0.5, 0.3, 0);
  SetPoints({{500, 300, 0}}, kSkeletonUnitMillimetres);
  ExpectBlobAt(RenderFrame(), expected, "unit 0");
  SetPoints({{50, 30, 0}}, kSkeletonUnitCentimetres);
  ExpectBlobAt(RenderFrame(), expected, "unit 1");
  SetPoints({{0.5f, 0.3f, 0}}, 7);
  ExpectBlobAt(RenderFrame(), expected, "unit 7");
}

TEST_F(BonescopeDrawnWithGL, HalfIntensityBlendsOverWhatTheBufferHolds) {
  mBackend->SetClearColour(0, 0, 1, 1);
  SetFloat(5, 50);
  SetPoints({{0, 0, 0}});
  const RgbaImage image = RenderFrame();
  const Point2 centre = Predict(0, 0, 0);
  const RgbaPixel p = image.At(static_cast<int>(centre.x), static_cast<int>(centre.y));
  EXPECT_NEAR(p.r, 128, 2);
  EXPECT_NEAR(p.g, 128, 2);
  EXPECT_EQ(p.b, 255);
  EXPECT_NEAR(p.a, 191, 2);
  EXPECT_EQ(image.At(2, 2), (RgbaPixel{0, 0, 255, 255})) << "the background stays";
}

TEST_F(BonescopeDrawnWithGL, NothingAtAllIsDrawnWithoutATrackedSkeleton) {
  SetInteger(18, 1);
  for (uint8_t state : {kSkeletonNotTracked, kSkeletonNotTrackedAlt, kSkeletonTrackingLost}) {
    SetPoints({{0, 0, 0}}, 2, state);
    EXPECT_EQ(FindBlob(RenderFrame(), Drawn).mCount, 0u) << "state " << int{state};
  }
  uint32_t notAPackage[16] = {0x736B656D};
  SetData(notAPackage);
  EXPECT_EQ(FindBlob(RenderFrame(), Drawn).mCount, 0u) << "wrong signature";
  SetData(nullptr);
  EXPECT_EQ(FindBlob(RenderFrame(), Drawn).mCount, 0u) << "no package";

  SetPoints({{0, 0, 0}}, 2, kSkeletonTrackingBegun);
  EXPECT_GT(FindBlob(RenderFrame(), Drawn).mCount, 0u) << "tracking just begun counts";
}

TEST_F(BonescopeDrawnWithGL, PolygonsAreFlatDisksFacingTheirZAxis) {
  SetPoints({{0, 0, 0}});
  const size_t sphere = FindBlob(RenderFrame(), Drawn).mCount;
  SetInteger(2, 0);
  SetInteger(4, 64);
  const size_t disk = FindBlob(RenderFrame(), Drawn).mCount;
  EXPECT_NEAR(static_cast<double>(disk), static_cast<double>(sphere), sphere * 0.1)
      << "a facing disk covers the sphere's outline";
  SetInteger(4, 3);
  const size_t triangle = FindBlob(RenderFrame(), Drawn).mCount;
  EXPECT_NEAR(static_cast<double>(triangle) / disk, 3 * std::sqrt(3.0) / 4 / std::numbers::pi, 0.06);

  SetFloat(7, 180);  // facing away: culled unless back faces are drawn
  EXPECT_EQ(FindBlob(RenderFrame(), Drawn).mCount, 0u);
  SetInteger(10, 1);
  EXPECT_EQ(FindBlob(RenderFrame(), Drawn).mCount, triangle);
  SetInteger(10, 0);
  SetInteger(2, 1);
  SetInteger(4, 16);
  EXPECT_EQ(FindBlob(RenderFrame(), Drawn).mCount, sphere) << "a turned sphere looks the same";
}

TEST_F(BonescopeDrawnWithGL, LightingShadesSpheresAndSwitchingItOffUndoesIt) {
  SetPoints({{0, 0, 0}});
  const Point2 centre = Predict(0, 0, 0);
  const int edgeX = static_cast<int>(centre.x) + 7;  // near the rim, radius about 8 px
  const int y = static_cast<int>(centre.y);
  SetInteger(9, 1);
  RgbaImage lit = RenderFrame();
  EXPECT_LT(lit.At(edgeX, y).r, 200) << "the rim turns away from the light";
  SetInteger(9, 0);
  RgbaImage unlit = RenderFrame();
  EXPECT_EQ(unlit.At(edgeX, y), kWhite);
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
}

TEST_F(BonescopeDrawnWithGL, AFrameLeavesMatricesAndMatrixModeAsItFoundThem) {
  SetPoints({{0, 0, 0}, {0.2f, 0.2f, 0}});
  SetInteger(18, 1);
  RenderFrame();  // the buffer exists and the context is current from here on
  const GLfloat projection[16] = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1};
  const GLfloat modelview[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 8, 9, 1};
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(projection);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(modelview);
  RenderFrame();

  GLint depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
  glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  GLfloat after[16];
  glGetFloatv(GL_PROJECTION_MATRIX, after);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], projection[i]) << i;
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], modelview[i]) << i;
}

}  // namespace

namespace {

TEST_F(BonescopeDrawnWithGL, FramesAreSavedAsNumberedPngFilesOfWhatWasSent) {
  SetPoints({{0, 0, 0}});
  const RgbaImage sent = RenderFrame();
  const std::string directory = ::testing::TempDir();
  vhost::CNumberedFrameWriter writer(*mBackend, directory, "scope_");
  std::string error;
  EXPECT_FALSE(writer.Write(nullptr, &error));
  EXPECT_FALSE(writer.Write(&error, &error)) << "a foreign pointer is refused";
  EXPECT_EQ(writer.FramesWritten(), 0u);
  const std::string first = writer.NextPath();
  ASSERT_TRUE(writer.Write(mLastFrame, &error)) << error;
  ASSERT_TRUE(writer.Write(mLastFrame, &error)) << error;
  EXPECT_NE(first.find("scope_00001.png"), std::string::npos);
  EXPECT_NE(writer.NextPath().find("scope_00003.png"), std::string::npos);

  RgbaImage read;
  ASSERT_TRUE(vhost::ReadRgbaPng(first, read, &error)) << error;
  EXPECT_EQ(read.mWidth, sent.mWidth);
  EXPECT_EQ(read.mHeight, sent.mHeight);
  EXPECT_TRUE(read.mPixels == sent.mPixels) << "the file holds the frame, top row first";
  std::string second = first;
  second.replace(second.find("00001"), 5, "00002");
  std::remove(first.c_str());
  std::remove(second.c_str());
}

}  // namespace
