// Where the host's image buffer services get their buffers and frames.
//
// The services CreateImageBuffer, DisposeImageBuffer, BeginImageBufferDraw
// and EndImageBufferDraw delegate to one backend per host; the host itself
// does the bookkeeping (live buffers, failure switches, misuse reports). A
// buffer record must have its i32 width at byte 32, height at 36, a
// drawing-in-progress byte at 40 and at byte 16 a pointer to a texture record
// with an i32 field at byte 56; EndDraw returns a frame record whose byte 16
// points to that texture record, valid until the buffer is disposed.
//
// Thread-safety: called on the host's main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vhost {

class CImageBufferBackend {
 public:
  virtual ~CImageBufferBackend() = default;
  // A new buffer, or null when the backend cannot make one.
  virtual void* Create(int32_t context, int32_t w, int32_t h, uint32_t flags) = 0;
  // REQUIRES: buffer came from Create of this backend and was not disposed.
  virtual void Dispose(void* buffer) = 0;
  // Makes the buffer the drawing target: non-zero when drawing may start.
  virtual int32_t BeginDraw(void* buffer, uint8_t arg) = 0;
  // Ends drawing; the frame made from the buffer, or null.
  virtual void* EndDraw(void* buffer) = 0;
  // The largest width or height Create accepts; 0 when the backend sets none.
  virtual int32_t MaxImageSize() { return 0; }
  // The size of every buffer record when the backend allocates them with
  // AllocateGuarded (guarded_block.h), so that the host can check the guard
  // bytes around them; 0 when its records have none.
  virtual size_t GuardedRecordSize() const { return 0; }
};

}  // namespace vhost
