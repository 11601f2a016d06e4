#include "host/video_services.h"

#include <fmt/format.h>

#include "host/entry_point_call.h"
#include "host/guarded_block.h"
#include "host/actor_instance.h"
#include "host/host_error.h"
#include "host/placeholder_image_backend.h"

namespace vhost {

CVideoServices::CVideoServices(CServiceContext context)
    : mContext(std::move(context)),
      mBackend(std::make_unique<CPlaceholderImageBackend>()) {}

CVideoServices::~CVideoServices() {
  // Buffers a plug-in never disposed go back to the backend that made them.
  for (auto& [buffer, owner] : mImageBuffers) mBackend->Dispose(buffer);
}

void* CVideoServices::CreateImageBuffer(void* ref, int32_t context, int32_t width, int32_t height,
                                        uint32_t flags, uint32_t) {
  CActorInstance* creator = mContext.mLiveInstance(ref, "CreateImageBuffer");
  if (creator == nullptr) return nullptr;
  if (mSwitches.mFailCreateImageBuffer) return nullptr;
  void* buffer = mBackend->Create(context, width, height, flags);
  if (buffer != nullptr) {
    const CEntryPointCall* call = CEntryPointCall::Current();
    mImageBuffers.emplace(buffer, CLiveBuffer{creator, call != nullptr ? call->Describe() : std::string()});
    ++mCounters.mImageBuffersCreated;
  }
  return buffer;
}

void CVideoServices::CheckGuardBytes(void* buffer, CLiveBuffer& live, const std::string& found) {
  const size_t size = mBackend->GuardedRecordSize();
  if (size == 0 || live.mDamageReported) return;
  const CGuardDamage damage = CheckGuards(buffer, size);
  if (!damage.Any()) return;
  live.mDamageReported = true;
  mContext.mReport(fmt::format("'{}' {} (created in {}); found {}", live.mCreator->Name(),
                      DescribeGuardDamage(damage, size, "image buffer record"),
                      live.mCreatedIn.empty() ? "no entry point" : live.mCreatedIn, found));
}

void CVideoServices::CheckGuardBytes() {
  for (auto& [buffer, live] : mImageBuffers) CheckGuardBytes(buffer, live, "at the end");
}

void CVideoServices::DisposeImageBuffer(void* ref, void* buffer) {
  if (mContext.mLiveInstance(ref, "DisposeImageBuffer") == nullptr) return;
  const auto it = mImageBuffers.find(buffer);
  if (it == mImageBuffers.end()) {
    mContext.mReport(fmt::format("DisposeImageBuffer of {}, which is not a live image buffer", buffer));
    return;
  }
  CheckGuardBytes(buffer, it->second, "when it was disposed in " + CEntryPointCall::DescribeCurrent());
  mImageBuffers.erase(it);
  mDrawingBuffers.erase(buffer);
  mBackend->Dispose(buffer);
  ++mCounters.mImageBuffersDisposed;
}

int32_t CVideoServices::BeginImageBufferDraw(void* ref, void* buffer, uint8_t arg) {
  if (mContext.mLiveInstance(ref, "BeginImageBufferDraw") == nullptr) return 0;
  if (mImageBuffers.count(buffer) == 0) {
    mContext.mReport(fmt::format("BeginImageBufferDraw on {}, which is not a live image buffer", buffer));
    return 0;
  }
  if (mSwitches.mFailBeginImageBufferDraw) return 0;
  const int32_t result = mBackend->BeginDraw(buffer, arg);
  if (result != 0) {
    mDrawingBuffers[buffer] = true;
    ++mCounters.mImageDrawsBegun;
  }
  return result;
}

void* CVideoServices::EndImageBufferDraw(void* ref, void* buffer) {
  if (mContext.mLiveInstance(ref, "EndImageBufferDraw") == nullptr) return nullptr;
  if (mImageBuffers.count(buffer) == 0) {
    mContext.mReport(fmt::format("EndImageBufferDraw on {}, which is not a live image buffer", buffer));
    return nullptr;
  }
  if (mDrawingBuffers.erase(buffer) == 0) {
    mContext.mReport(fmt::format("EndImageBufferDraw on {} without a successful BeginImageBufferDraw", buffer));
  }
  ++mCounters.mImageDrawsEnded;
  void* frame = mBackend->EndDraw(buffer);
  return mSwitches.mFailEndImageBufferDraw ? nullptr : frame;
}

void CVideoServices::SetBackend(std::unique_ptr<CImageBufferBackend> backend) {
  if (!mImageBuffers.empty()) {
    throw CHostError("SetImageBufferBackend: image buffers of the old backend are still live");
  }
  if (backend == nullptr) backend = std::make_unique<CPlaceholderImageBackend>();
  mBackend = std::move(backend);
}

void* CVideoServices::BeginVideoRender(void* actorData, uint32_t kind, uint16_t, const uint8_t*) {
  ++mCounters.mRenderBracketsBegun;
  const uintptr_t token = mNextRenderToken++ * 16;
  mRenderBrackets.emplace(token, CRenderBracket{actorData, kind, false});
  return reinterpret_cast<void*>(token);
}

intptr_t CVideoServices::EndVideoRender(void* token) {
  auto it = mRenderBrackets.find(reinterpret_cast<uintptr_t>(token));
  if (it == mRenderBrackets.end() || it->second.mEnded) {
    mContext.mReport(fmt::format("EndVideoRender with token {}, which is not an open bracket", token));
    return 0;
  }
  it->second.mEnded = true;
  ++mCounters.mRenderBracketsEnded;
  return kRenderBracketResult;
}

void CVideoServices::ReleaseVideoHandle(void* handle) {
  if (handle != nullptr) ++mCounters.mVideoHandlesReleased;
}

void CVideoServices::CloseBrackets(uint32_t kind) {
  for (auto& [token, bracket] : mRenderBrackets) {
    if (!bracket.mEnded) {
      mContext.mReport(fmt::format("a receiver returned with a render bracket open (message kind 0x{:X})", kind));
    }
  }
  mRenderBrackets.clear();
}

}  // namespace vhost
