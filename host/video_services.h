// The host's video services: image buffers (made by a replaceable backend),
// the set of buffers between BeginDraw and EndDraw, and the render brackets
// (BeginVideoRender / EndVideoRender) opened while a receiver runs.
//
// Ownership: buffers belong to the backend that made them; the services
// remember which instance created each and dispose what is left when they go.
// When the backend puts guard bytes around its records, the services check
// them as a buffer is disposed and when asked.
//
// Thread-safety: none; the host's main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "host/image_buffer_backend.h"
#include "host/service_context.h"

namespace vhost {

class CActorInstance;

// The value result EndVideoRender gives for a bracket that was begun.
inline constexpr intptr_t kRenderBracketResult = 1;

class CVideoServices {
 public:
  struct CSwitches {
    bool mFailCreateImageBuffer = false;     // returns null
    bool mFailBeginImageBufferDraw = false;  // returns 0
    bool mFailEndImageBufferDraw = false;    // returns null (drawing still ends)
  };
  struct CCounters {
    uint64_t mImageBuffersCreated = 0;
    uint64_t mImageBuffersDisposed = 0;
    uint64_t mImageDrawsBegun = 0;
    uint64_t mImageDrawsEnded = 0;
    uint64_t mVideoHandlesReleased = 0;
    uint64_t mRenderBracketsBegun = 0;
    uint64_t mRenderBracketsEnded = 0;
  };

  explicit CVideoServices(CServiceContext context);
  CVideoServices(const CVideoServices&) = delete;
  CVideoServices& operator=(const CVideoServices&) = delete;
  ~CVideoServices();

  // ---- Service handlers (rows of the service list) ----
  // Image buffers, made by the backend for a live instance.
  void* CreateImageBuffer(void* ref, int32_t context, int32_t width, int32_t height, uint32_t flags,
                          uint32_t zero);
  void DisposeImageBuffer(void* ref, void* buffer);
  int32_t BeginImageBufferDraw(void* ref, void* buffer, uint8_t arg);
  void* EndImageBufferDraw(void* ref, void* buffer);
  // Render brackets, opened and closed while a receiver runs.
  void* BeginVideoRender(void* actorData, uint32_t kind, uint16_t arg, const uint8_t* data);
  intptr_t EndVideoRender(void* token);
  void ReleaseVideoHandle(void* handle);

  CSwitches& Switches() { return mSwitches; }
  const CCounters& Counters() const { return mCounters; }

  // ---- Image buffers ----
  size_t LiveImageBuffers() const { return mImageBuffers.size(); }
  // Reports every live buffer whose record's guard bytes were overwritten
  // (disposed buffers are checked as they go).
  void CheckGuardBytes();
  // Null restores the placeholder. Throws CHostError while buffers are live.
  void SetBackend(std::unique_ptr<CImageBufferBackend> backend);
  CImageBufferBackend& Backend() { return *mBackend; }

  // ---- Render brackets ----
  // Forgets every bracket; reports those left open by a receiver of `kind`.
  void CloseBrackets(uint32_t kind);

 private:
  struct CRenderBracket {
    void* mActorData;
    uint32_t mKind;
    bool mEnded;
  };

  CServiceContext mContext;
  CSwitches mSwitches;
  CCounters mCounters;
  std::unique_ptr<CImageBufferBackend> mBackend;
  struct CLiveBuffer {
    CActorInstance* mCreator;
    std::string mCreatedIn;  // the entry point, as CEntryPointCall describes it
    bool mDamageReported = false;
  };
  // Reports a write outside the buffer's record (once per buffer).
  void CheckGuardBytes(void* buffer, CLiveBuffer& live, const std::string& found);

  std::map<void*, CLiveBuffer> mImageBuffers;  // live buffer -> who made it
  std::map<void*, bool> mDrawingBuffers;           // buffers between Begin and End draw
  std::map<uintptr_t, CRenderBracket> mRenderBrackets;
  uintptr_t mNextRenderToken = 1;
};

}  // namespace vhost
