// CGLImageBufferBackend: image buffers backed by a real OpenGL context, for
// plug-ins that draw with GL (Bonescope).
//
// Each buffer is a framebuffer object of the requested size with an RGBA8
// colour texture and a 24-bit depth buffer. BeginDraw makes the backend's
// headless context current, binds the buffer's framebuffer, sets the viewport
// to the whole buffer and (unless told to keep the contents) clears colour to
// the clear colour, transparent black by default, and depth to 1. EndDraw
// unbinds it and returns the buffer's frame record. Frames can be read back
// as RgbaImage and saved as PNG.
//
// The backend owns its context; it makes it current on the calling thread
// whenever it needs GL and leaves it current. Only pointers this backend made
// and has not disposed are acted on; anything else is ignored (null, 0,
// false), so a confused plug-in cannot make the backend touch foreign memory.
//
// Thread-safety: none; the host's main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>

#include "host/gl/gl_image_records.h"
#include "host/gl/headless_gl_context.h"
#include "host/gl/rgba_image.h"
#include "host/image_buffer_backend.h"

namespace vhost {

class CGLImageBufferBackend final : public CImageBufferBackend {
 public:
  // A backend with a new headless context, or null with the reason in
  // `error` (may be null) when no context can be made.
  static std::unique_ptr<CGLImageBufferBackend> Create(std::string* error);

  // Disposes every buffer still live.
  ~CGLImageBufferBackend() override;

  // Null for a size of 0 or less, beyond the GL limits, or when the
  // framebuffer cannot be completed. `flags` are kept but do not change the
  // buffer: a plug-in that wants it black fills it itself.
  void* Create(int32_t context, int32_t w, int32_t h, uint32_t flags) override;
  void Dispose(void* buffer) override;
  // `arg` 0 only makes the context current with the buffer bound, for a
  // plug-in's housekeeping; any other value starts a frame and clears it.
  // Nested brackets are counted; only the outermost one clears. 0 when the
  // buffer is unknown or the context cannot be made current.
  int32_t BeginDraw(void* buffer, uint8_t arg) override;
  // The frame record (valid until the buffer is disposed); null when no
  // bracket is open or the buffer is unknown.
  void* EndDraw(void* buffer) override;
  // The smaller of the context's texture and renderbuffer limits.
  int32_t MaxImageSize() override;
  size_t GuardedRecordSize() const override { return sizeof(GLImageBufferRecord); }

  // true: BeginDraw keeps what the buffer held (colour and depth).
  void SetKeepContents(bool keep) { mKeepContents = keep; }
  // The colour BeginDraw clears to, each channel 0 to 1.
  void SetClearColour(float r, float g, float b, float a);

  // Reads the frame's pixels (top row first). False when `frame` is not a
  // frame of a live buffer of this backend.
  bool ReadFrame(const void* frame, RgbaImage& image);
  // The same for a buffer.
  bool ReadBuffer(const void* buffer, RgbaImage& image);
  // ReadFrame and WriteRgbaPng in one step.
  bool SaveFramePng(const void* frame, const std::string& path, std::string* error);

  // The buffer a frame record belongs to, or null when it is not one of ours.
  GLImageBufferRecord* BufferOfFrame(const void* frame) const;
  // True for a buffer made here and not yet disposed.
  bool IsLiveBuffer(const void* buffer) const;
  size_t LiveBufferCount() const { return mLive.size(); }

  CHeadlessGLContext& Context() { return *mContext; }

 private:
  explicit CGLImageBufferBackend(std::unique_ptr<CHeadlessGLContext> context);
  GLImageBufferRecord* Live(const void* buffer) const;
  void DeleteGLObjects(GLImageBufferRecord& record);
  bool ReadPixels(const GLImageBufferRecord& record, RgbaImage& image);

  std::unique_ptr<CHeadlessGLContext> mContext;
  std::unordered_set<const void*> mLive;
  bool mKeepContents = false;
  float mClearColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

}  // namespace vhost
