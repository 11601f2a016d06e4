// The scene Bonescope draws for one frame: a perspective camera the user
// places, an optional red-green-blue crosshair at the origin, and a white
// disk or sphere at every point of the skeleton package.
//
// Drawn with fixed-function OpenGL and GLU quadrics in immediate mode into
// whatever framebuffer the host made current. Both matrices are pushed at the
// start and popped at the end, leaving GL_MODELVIEW current; the other
// settings the scene makes stay as it set them.
//
// Thread-safety: none; call only with the host's drawing context current
// (between a successful BeginImageBufferDraw and its EndImageBufferDraw).
#pragma once

#include <cstdint>

#include "skeleton/skeleton_pkg.h"
#include "skeleton_renderer/renderer_data.h"

// Half the vertical (wide image) or horizontal (tall image) view angle: 20
// degrees in radians, to eight decimals.
inline constexpr double kSceneHalfViewAngle = 0.34906585;
inline constexpr double kSceneNearPlane = 0.01;
inline constexpr double kSceneFarPlane = 2500.0;

// Half the frustum's width and height at the near plane.
struct FrustumExtent {
  double mRight;
  double mTop;
};

// The extent for an image of `width` x `height` pixels: the shorter side
// spans 40 degrees. The aspect is divided in single precision (1280 / 720
// gives 1.7777778) and then widened. REQUIRES: height != 0.
FrustumExtent SceneFrustumExtent(int32_t width, int32_t height);

// Pushes both matrices, loads the frustum into GL_PROJECTION and an identity
// into GL_MODELVIEW, and leaves GL_MODELVIEW current.
void SetupProjection(int32_t width, int32_t height);

// Draws the scene for `data` and `skeleton`. Makes the quadric of the chosen
// object type on first use and keeps it in `data`.
void DrawSkeletonScene(RendererData& data, const SkeletonPkg& skeleton);

// The factor applied to every point coordinate for a package `unit`.
float SkeletonUnitScale(uint8_t unit);
