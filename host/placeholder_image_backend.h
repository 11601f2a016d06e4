// An image buffer backend without any graphics: plain records with the
// fields a plug-in reads, so that buffer handling can be driven and checked
// without a GPU.
//
// Buffer record (96 bytes, with guard bytes around it): u32 'imgb' at 0, i32 context at 24, u32 flags
// at 28, and the fields a plug-in reads at the offsets of record_layout.h
// (texture record pointer, width, height, drawing byte). Texture record (64
// bytes): the frame mark is left for the plug-in to write. Frame record (32
// bytes, one per buffer, rewritten by every EndDraw): u32 'vfrm' at 0, u32
// frame number at 8, and the texture record pointer. Records live until
// Dispose.
//
// Thread-safety: none; the host's main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "host/image_buffer_backend.h"

namespace vhost {

class CPlaceholderImageBackend final : public CImageBufferBackend {
 public:
  static constexpr uint32_t kBufferCode = 0x696D6762;  // 'imgb'
  static constexpr uint32_t kFrameCode = 0x7666726D;   // 'vfrm'

  void* Create(int32_t context, int32_t w, int32_t h, uint32_t flags) override;
  void Dispose(void* buffer) override;
  int32_t BeginDraw(void* buffer, uint8_t arg) override;
  void* EndDraw(void* buffer) override;

  size_t GuardedRecordSize() const override { return kRecordSize; }

  size_t LiveBuffers() const { return mBuffers.size(); }

 private:
  static constexpr size_t kRecordSize = 96;

  struct CBuffer {
    CBuffer();
    CBuffer(const CBuffer&) = delete;
    CBuffer& operator=(const CBuffer&) = delete;
    ~CBuffer();
    unsigned char* mRecord;  // guarded (guarded_block.h); null when memory ran out
    alignas(16) unsigned char mTexture[64] = {};
    alignas(16) unsigned char mFrame[32] = {};
    uint32_t mFrames = 0;
  };
  CBuffer* Find(void* buffer);

  std::map<void*, std::unique_ptr<CBuffer>> mBuffers;
};

}  // namespace vhost
