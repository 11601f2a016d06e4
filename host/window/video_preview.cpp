#include "host/window/video_preview.h"

#include "host/gl/gl_image_buffer_backend.h"
#include "host/host.h"
#include "host/run/run_loop.h"
#include "host/window/preview_window.h"

namespace vhost {
namespace {

constexpr const char* kVideoDisplay = "texture";

}  // namespace

void CVideoPreview::OnRender(CRunLoop& loop, uint64_t mark, Clock::time_point, Clock::time_point) {
  CHost& host = loop.Host();
  auto* backend = dynamic_cast<CGLImageBufferBackend*>(&host.ImageBufferBackend());
  if (backend == nullptr) return;
  for (const COutputRecord* record : host.OutputsSince(mark)) {
    if (record->mValue.Type() != layout::kTypeData || record->mValue.AsPointer() == nullptr) continue;
    const CActorInstance* instance = host.FindInstance(record->mInstanceName);
    if (instance == nullptr || record->mOutputIndex == 0 || record->mOutputIndex > instance->OutputCount()) continue;
    if (instance->Output(record->mOutputIndex).mDescriptor.mDisplay != kVideoDisplay) continue;
    RgbaImage image;
    if (!backend->ReadFrame(record->mValue.AsPointer(), image)) continue;
    // Frames are drawn over transparent black; the screen shows them opaque.
    for (size_t i = 3; i < image.mPixels.size(); i += 4) image.mPixels[i] = 255;
    mWindow.Show(record->mInstanceName, image);
  }
}

bool CVideoPreview::WantsEnd(CRunLoop&) { return mWindow.Closed(); }

}  // namespace vhost
