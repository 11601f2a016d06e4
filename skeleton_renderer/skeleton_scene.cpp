#include "skeleton_renderer/skeleton_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace {

constexpr double kAspectThreshold = 1.0;
constexpr GLfloat kCrosshairLineWidth = 5.0f;
constexpr GLint kPolygonRings = 8;
constexpr GLdouble kPolygonInnerRadius = 0.0;
constexpr int32_t kObjectTypePolygon = 0;
constexpr int32_t kObjectTypeSphere = 1;

void ApplyCamera(const RendererData& data) {
  glTranslatef(data.mCameraTransX, data.mCameraTransY, data.mCameraTransZ);
  glRotatef(data.mCameraRotX, 1.0f, 0.0f, 0.0f);
  glRotatef(data.mCameraRotY, 0.0f, 1.0f, 0.0f);
  glRotatef(data.mCameraRotZ, 0.0f, 0.0f, 1.0f);
}

void DrawCrosshair(double length) {
  glLineWidth(kCrosshairLineWidth);
  glBegin(GL_LINES);
  glColor4ub(255, 0, 0, 255);
  glVertex3d(-length, 0.0, 0.0);
  glVertex3d(length, 0.0, 0.0);
  glColor4ub(0, 255, 0, 255);
  glVertex3d(0.0, -length, 0.0);
  glVertex3d(0.0, length, 0.0);
  glColor4ub(0, 0, 255, 255);
  glVertex3d(0.0, 0.0, -length);
  glVertex3d(0.0, 0.0, length);
  glEnd();
}

// Calls `drawObject` once per point with the point's translation and the
// object rotation applied.
template <class DrawObject>
void ForEachJoint(const RendererData& data, const SkeletonPkg& skeleton, float scale,
                  DrawObject drawObject) {
  // The points run past the declared one-element array to the end of the block.
  const SkeletonPoint* points = skeleton.points;
  for (uint32_t i = 0; i < skeleton.point_count; ++i) {
    const SkeletonPoint& point = points[i];
    glPushMatrix();
    glTranslatef(scale * point.x, scale * point.y, scale * point.z);
    glRotatef(data.mObjectRotX, 1.0f, 0.0f, 0.0f);
    glRotatef(data.mObjectRotY, 0.0f, 1.0f, 0.0f);
    glRotatef(data.mObjectRotZ, 0.0f, 0.0f, 1.0f);
    drawObject();
    glPopMatrix();
  }
}

// The quadric in `slot`, made on first use; null only when GLU is out of
// memory, and then no object is drawn.
GLUquadric* QuadricFor(GLUquadric*& slot) {
  if (slot == nullptr) slot = gluNewQuadric();
  return slot;
}

}  // namespace

float SkeletonUnitScale(uint8_t unit) {
  if (unit == kSkeletonUnitMillimetres) return 0.001f;
  if (unit == kSkeletonUnitCentimetres) return 0.01f;
  return 1.0f;
}

FrustumExtent SceneFrustumExtent(int32_t width, int32_t height) {
  const double base = std::tan(kSceneHalfViewAngle) * kSceneNearPlane;
  const float aspectSingle = static_cast<float>(width) / static_cast<float>(height);
  const double aspect = aspectSingle;
  if (aspect >= kAspectThreshold) return {base * aspect, base};
  return {base, base / aspect};
}

void SetupProjection(int32_t width, int32_t height) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  const FrustumExtent extent = SceneFrustumExtent(width, height);
  glFrustum(-extent.mRight, extent.mRight, -extent.mTop, extent.mTop, kSceneNearPlane,
            kSceneFarPlane);
  glMatrixMode(GL_MODELVIEW);
}

void DrawSkeletonScene(RendererData& data, const SkeletonPkg& skeleton) {
  SetupProjection(data.mWidth, data.mHeight);

  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_COLOR_MATERIAL);
  if (data.mRenderBack == 1) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
  }
  if (data.mDepthTest == 1) {
    glEnable(GL_DEPTH_TEST);
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  // Switched off explicitly, so the look of a frame never depends on what an
  // earlier frame left enabled in the host's context.
  if (data.mLighting == 1) {
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
  } else {
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
  }

  ApplyCamera(data);
  if (data.mDrawOrigin == 1 && data.mOriginSize > 0.0) DrawCrosshair(data.mOriginSize);

  const float scale = SkeletonUnitScale(skeleton.unit);
  glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(data.mObjectIntensity));
  glEnable(GL_NORMALIZE);

  const GLint sides = static_cast<GLint>(static_cast<uint32_t>(data.mObjectSides));
  if (data.mObjectType == kObjectTypePolygon) {
    if (GLUquadric* disk = QuadricFor(data.mDiskQuadric)) {
      ForEachJoint(data, skeleton, scale, [&] {
        gluDisk(disk, kPolygonInnerRadius, data.mObjectSize, sides, kPolygonRings);
      });
    }
  } else if (data.mObjectType == kObjectTypeSphere) {
    if (GLUquadric* sphere = QuadricFor(data.mSphereQuadric)) {
      ForEachJoint(data, skeleton, scale,
                   [&] { gluSphere(sphere, data.mObjectSize, sides, sides); });
    }
  }

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}
