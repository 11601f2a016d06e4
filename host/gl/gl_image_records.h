// The records behind the GL backend's image buffers and video frames.
//
// A plug-in sees only a few fields of them, at the byte offsets that
// record_layout.h gives (checked below). The rest is the backend's own.
//
// Ownership: one GLImageBufferRecord per buffer, made by the backend's Create
// and freed by its Dispose; the texture and frame records live inside it, so a
// frame stays valid until its buffer is disposed.
//
// Thread-safety: touched only on the host's main thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/record_layout.h"

namespace vhost {

struct GLImageBufferRecord;

struct GLTextureRecord {
  uint32_t mSignature;         // kGLTextureSignature
  uint32_t mTextureName;       // GL name of the colour texture
  int32_t mWidth;
  int32_t mHeight;
  uint8_t mReserved16[40];
  int32_t mFrameMark;          // written by the plug-in (1 on every buffer and frame)
  uint32_t mReserved60;
};

struct GLFrameRecord {
  uint32_t mSignature;            // kGLFrameSignature
  uint32_t mSerial;               // frames ended on this buffer so far
  GLImageBufferRecord* mBuffer;   // the buffer the frame was drawn in
  GLTextureRecord* mTexture;      // the buffer's texture record
};

struct GLImageBufferRecord {
  uint32_t mSignature;            // kGLImageBufferSignature
  int32_t mContext;               // render context number given at creation
  uint32_t mFlags;                // creation flags, kept for inspection
  uint32_t mFramebuffer;          // GL framebuffer object
  GLTextureRecord* mTexture;      // points to mTextureRecord
  uint32_t mDepthBuffer;          // GL renderbuffer
  int32_t mDrawDepth;             // open BeginDraw brackets
  int32_t mWidth;
  int32_t mHeight;
  uint8_t mDrawing;               // 1 while a BeginDraw bracket is open
  uint8_t mReserved41[7];
  GLTextureRecord mTextureRecord;
  GLFrameRecord mFrame;
};

inline constexpr uint32_t kGLImageBufferSignature = 0x676C6962;  // 'glib'
inline constexpr uint32_t kGLTextureSignature = 0x676C7478;      // 'gltx'
inline constexpr uint32_t kGLFrameSignature = 0x676C6672;        // 'glfr'

static_assert(offsetof(GLImageBufferRecord, mTexture) == layout::kImageBufferTexture);
static_assert(offsetof(GLImageBufferRecord, mWidth) == layout::kImageBufferWidth);
static_assert(offsetof(GLImageBufferRecord, mHeight) == layout::kImageBufferHeight);
static_assert(offsetof(GLImageBufferRecord, mDrawing) == layout::kImageBufferDrawing);
static_assert(offsetof(GLTextureRecord, mFrameMark) == layout::kTextureFrameMark);
static_assert(offsetof(GLFrameRecord, mTexture) == layout::kFrameTexture);

}  // namespace vhost
