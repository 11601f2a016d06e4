#include "host/placeholder_image_backend.h"

#include "host/guarded_block.h"
#include "host/record_layout.h"

namespace vhost {

CPlaceholderImageBackend::CBuffer::CBuffer()
    : mRecord(static_cast<unsigned char*>(AllocateGuarded(kRecordSize, 0))) {}

CPlaceholderImageBackend::CBuffer::~CBuffer() { FreeGuarded(mRecord, kRecordSize); }

void* CPlaceholderImageBackend::Create(int32_t context, int32_t w, int32_t h, uint32_t flags) {
  if (w <= 0 || h <= 0) return nullptr;
  auto buffer = std::make_unique<CBuffer>();
  if (buffer->mRecord == nullptr) return nullptr;
  void* record = buffer->mRecord;
  layout::WriteAt(record, 0, kBufferCode);
  layout::WriteAt(record, layout::kImageBufferTexture, static_cast<void*>(buffer->mTexture));
  layout::WriteAt(record, 24, context);
  layout::WriteAt(record, 28, flags);
  layout::WriteAt(record, layout::kImageBufferWidth, w);
  layout::WriteAt(record, layout::kImageBufferHeight, h);
  layout::WriteAt(buffer->mFrame, 0, kFrameCode);
  layout::WriteAt(buffer->mFrame, layout::kFrameTexture, static_cast<void*>(buffer->mTexture));
  mBuffers.emplace(record, std::move(buffer));
  return record;
}

void CPlaceholderImageBackend::Dispose(void* buffer) { mBuffers.erase(buffer); }

int32_t CPlaceholderImageBackend::BeginDraw(void* buffer, uint8_t) {
  CBuffer* b = Find(buffer);
  if (b == nullptr) return 0;
  layout::WriteAt<uint8_t>(b->mRecord, layout::kImageBufferDrawing, 1);
  return 1;
}

void* CPlaceholderImageBackend::EndDraw(void* buffer) {
  CBuffer* b = Find(buffer);
  if (b == nullptr) return nullptr;
  layout::WriteAt<uint8_t>(b->mRecord, layout::kImageBufferDrawing, 0);
  layout::WriteAt(b->mFrame, 8, ++b->mFrames);
  return b->mFrame;
}

CPlaceholderImageBackend::CBuffer* CPlaceholderImageBackend::Find(void* buffer) {
  auto it = mBuffers.find(buffer);
  return it != mBuffers.end() ? it->second.get() : nullptr;
}

}  // namespace vhost
