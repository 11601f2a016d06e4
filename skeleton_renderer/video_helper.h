// CVideoHelper: owns a video actor's output image buffers and sends its
// frames.
//
// The helper creates the host image buffers that frames are drawn into,
// replaces them when the requested size changes, drops them when the host's
// drawing context goes away, and sends frames (or a single null value) on the
// actor's video output with as few host calls as possible. It also holds the
// per-input state of video inputs (CVideoInputMixin) and a set of GL objects
// other kinds of video actor may keep (VideoGLObjects).
//
// Ownership: the buffers, frames and host handle belong to the host; the
// helper holds them and gives each buffer back with DisposeImageBuffer. The
// input mixins, the buffer table and the GL objects are owned by the helper.
//
// Thread-safety: none. Every operation runs on the host's thread that
// delivers the actor's callbacks and messages. GL calls are made only inside a
// BeginImageBufferDraw that returned non-zero, or while buffer 0 says that a
// draw is in progress.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "framework/vorlane_types.h"
#include "skeleton_renderer/video_gl_objects.h"
#include "skeleton_renderer/video_input_mixin.h"

// Host flags given to SetMode, and the modes they select.
inline constexpr uint32_t kVideoModeFlag1 = 0x800;
inline constexpr uint32_t kVideoModeFlag3 = 0x200000;
inline constexpr uint32_t kVideoModeFlag2 = 0x800000;

// CreateImageBuffer option flags.
inline constexpr uint32_t kImageBufferOption = 0x01;
inline constexpr uint32_t kImageBufferClearToBlack = 0x80;

// The size of an output image in pixels.
struct VideoImageSize {
  int32_t mWidth = 0;
  int32_t mHeight = 0;
};

class CVideoHelper {
 public:
  // No host context yet: nothing can be sent or made until Init.
  CVideoHelper() = default;
  // Constructs and then Init()s.
  CVideoHelper(VorlaneParameters* params, ActorInfo* info, uint64_t inputCount,
               uint16_t outputIndex, uint64_t bufferCount);
  // Reset(), frees an owned pixel block and destroys the input mixins: a
  // frame still on the output is followed by a null value and every buffer is
  // disposed.
  ~CVideoHelper();

  CVideoHelper(const CVideoHelper&) = delete;
  CVideoHelper& operator=(const CVideoHelper&) = delete;

  // Binds the helper to an actor instance: `inputCount` video inputs,
  // frames sent on output `outputIndex` (1-based), `bufferCount` output
  // buffers. A helper that already holds buffers or inputs is Reset() first.
  void Init(VorlaneParameters* params, ActorInfo* info, uint64_t inputCount, uint16_t outputIndex,
            uint64_t bufferCount);

  // Selects the mode the host's flags ask for; a different mode drops every
  // buffer and empties the output.
  void SetMode(uint32_t hostFlags);

  // Makes sure buffers of `size` exist for `context`. Returns false when a
  // buffer of that size already existed (no host call made), true otherwise.
  // A width or height of 0 or less makes no buffer. A table left without its
  // buffer by a failed creation is dropped and creation tried again.
  bool PrepareOutputBuffers(int32_t context, VideoImageSize size, bool clearOnCreate, bool option);
  // Creates buffer `index` (a null result leaves the entry null).
  void CreateOutputBuffer(uint64_t index, int32_t context, int32_t width, int32_t height,
                          uint32_t flags);
  // Deletes the GL objects (each inside a drawing bracket of buffer 0),
  // disposes every buffer and frees the table.
  void ReleaseOutputBuffers();

  // Sends `value` on the output; the host has taken it on return.
  void SendOutput(Value* value);
  // Sends a null data value if the last value sent held a frame.
  void SendEmptyOutput();

  // The host's drawing context `*number` - 1 is going away. Drops the
  // buffers if they were made for it (except in mode 1) and returns true;
  // otherwise changes nothing and returns false. Null is ignored.
  bool HandleContextLost(const int32_t* number);

  // Empties the output, drops the buffers and host handle, clears the inputs.
  void Reset();

  // Buffer `index`, or null while the table is absent or the entry empty.
  void* Buffer(uint64_t index) const;
  bool HasBufferTable() const { return mBuffers != nullptr; }
  uint64_t BufferCount() const { return mBufferCount; }
  int32_t BufferContext() const { return mBufferContext; }
  int32_t Mode() const { return mMode; }
  uint16_t OutputIndex() const { return mOutputIndex; }
  bool OutputSent() const { return mOutputSent != 0; }
  bool OutputEmpty() const { return mOutputEmpty != 0; }
  uint64_t InputCount() const { return mInputCount; }
  // REQUIRES: index < InputCount().
  CVideoInputMixin& Input(uint64_t index) { return mInputs[index]; }

  // For actors that keep GL objects or a host handle with their buffers.
  VideoGLObjects& GLObjects() { return mGL; }
  // The helper releases `handle` with ReleaseVideoHandle when it drops its
  // buffers.
  void SetHostHandle(void* handle) { mHostHandle = handle; }
  void* HostHandle() const { return mHostHandle; }

 private:
  void* ActorRef() const;
  void ReleaseHostHandle();
  void ClearInputs();
  void FillWithOpaqueBlack(void* buffer);
  // Deletes one GL object through `deleteObject`, inside a drawing bracket
  // when no draw is in progress. Returns false when the bracket could not be
  // opened (the object is then left alone).
  template <class Deleter>
  bool DeleteInDrawBracket(Deleter deleteObject);

  VorlaneParameters* mParameters = nullptr;
  ActorInfo* mActorInfo = nullptr;
  uint64_t mInputCount = 0;
  std::unique_ptr<CVideoInputMixin[]> mInputs;
  uint64_t mBufferCount = 1;
  std::unique_ptr<void*[]> mBuffers;  // host buffers, disposed by ReleaseOutputBuffers
  int32_t mBufferContext = -1;
  void* mHostHandle = nullptr;
  VideoGLObjects mGL;
  uint16_t mOutputIndex = 0xFFFF;
  int32_t mMode = 0;
  uint8_t mOutputSent = 0;
  uint8_t mOutputEmpty = 1;
};
