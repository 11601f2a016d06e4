// An image buffer backend that hands on to another one, which outlives it,
// and refuses buffers wider or taller than a limit, as a backend beyond its
// limits would. Lets one GL context serve many short-lived hosts, and keeps
// rendering cheap whatever size a plug-in asks for.
//
// Thread-safety: the host's main thread only, as every backend.
#pragma once

#include <algorithm>
#include <cstdint>

#include "host/image_buffer_backend.h"

namespace vhost::fuzz {

class CCappedImageBackend final : public CImageBufferBackend {
 public:
  CCappedImageBackend(CImageBufferBackend& backend, int32_t maxSide) : mBackend(backend), mMaxSide(maxSide) {}

  void* Create(int32_t context, int32_t w, int32_t h, uint32_t flags) override {
    if (w > mMaxSide || h > mMaxSide) return nullptr;
    return mBackend.Create(context, w, h, flags);
  }
  void Dispose(void* buffer) override { mBackend.Dispose(buffer); }
  int32_t BeginDraw(void* buffer, uint8_t arg) override { return mBackend.BeginDraw(buffer, arg); }
  void* EndDraw(void* buffer) override { return mBackend.EndDraw(buffer); }
  int32_t MaxImageSize() override {
    const int32_t inner = mBackend.MaxImageSize();
    return inner > 0 ? std::min(inner, mMaxSide) : mMaxSide;
  }

 private:
  CImageBufferBackend& mBackend;
  int32_t mMaxSide;
};

}  // namespace vhost::fuzz
