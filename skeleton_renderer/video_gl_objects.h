// The GL objects a video helper can own besides its image buffers: texture
// A with its companion record, texture B, four resource slots and a pixel
// block.
//
// The helper deletes them when it releases its buffers, each one inside a
// drawing bracket of buffer 0. Bonescope never fills any of them; other kinds
// of video actor do.
//
// Ownership: texture names and resource objects are owned; the pixel block is
// freed with std::free only when mOwnsPixelBlock is set; the companion is not
// owned.
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <memory>

#include "skeleton_renderer/gl_resource.h"
#include "skeleton_renderer/texture_companion.h"

inline constexpr size_t kVideoResourceSlots = 4;

struct VideoGLObjects {
  GLuint mTextureA = 0;
  TextureCompanionRecord mCompanionA;
  GLuint mTextureB = 0;
  std::unique_ptr<CGLResource> mResources[kVideoResourceSlots];
  void* mPixelBlock = nullptr;
  bool mOwnsPixelBlock = false;
};
