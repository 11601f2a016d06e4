// RendererData: Bonescope's private per-instance record.
//
// One zero-filled block from the host's AllocateMemory, made by CreateActor
// and returned by DisposeActor; it must therefore stay a trivial record (no
// constructor, nothing that needs destroying). Property changes store their
// values here; the render request reads them.
//
// Ownership: mVideoHelper and the two quadrics are owned and exist only while
// the instance is active. mSkeleton belongs to the producer upstream and is
// valid until the next value arrives on input 1.
//
// Thread-safety: none; [main thread].
#pragma once

#include <GL/glu.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "framework/vorlane_types.h"
#include "skeleton/skeleton_pkg.h"

class CVideoHelper;

struct RendererData {
  ActorInfo* mActorInfo;            // back pointer, set by CreateActor
  void* mReceiverHandle;            // null while inactive
  CVideoHelper* mVideoHelper;       // owned; exists while active
  int32_t mContextNumber;           // 0 from activation on
  const SkeletonPkg* mSkeleton;     // input 1; null unless a skeleton package
  int32_t mObjectType;              // input 2: 0 polygon, 1 sphere
  double mObjectSize;               // input 3 / 100 (scene units)
  double mObjectIntensity;          // input 5 / 100 (alpha)
  int64_t mObjectSides;             // input 4; its low 32 bits are used
  float mObjectRotX;                // inputs 6 to 8, degrees
  float mObjectRotY;
  float mObjectRotZ;
  uint8_t mLighting;                // inputs 9 to 11, 0 or 1
  uint8_t mRenderBack;
  uint8_t mDepthTest;
  float mCameraRotX;                // inputs 12 to 14, degrees
  float mCameraRotY;
  float mCameraRotZ;
  float mCameraTransX;              // inputs 15 to 17
  float mCameraTransY;
  float mCameraTransZ;
  uint8_t mDrawOrigin;              // input 18, 0 or 1
  double mOriginSize;               // input 19
  int32_t mWidth;                   // inputs 20 and 21, pixels; read as one pair
  int32_t mHeight;
  GLUquadric* mDiskQuadric;         // made on first use, deleted at deactivation
  GLUquadric* mSphereQuadric;
};

static_assert(std::is_trivial_v<RendererData>);
static_assert(offsetof(RendererData, mHeight) == offsetof(RendererData, mWidth) + sizeof(int32_t));
