#include "tools/demo/demo_pictures.h"

#include <fmt/format.h>

#include "host/gl/gl_image_buffer_backend.h"
#include "host/gl/png_writer.h"
#include "host/host.h"
#include "host/run/run_loop.h"

CDemoPictures::CDemoPictures(std::vector<SDemoStream>& streams, vhost::CGLImageBufferBackend& gl,
                             std::string framesFolder, int saveEvery, bool save)
    : mStreams(streams), mGL(gl), mFolder(std::move(framesFolder)), mSaveEvery(static_cast<uint64_t>(saveEvery)),
      mSave(save) {}

double CDemoPictures::RenderMs(const vhost::CRunLoop& loop) const {
  return loop.RendersSent() ? mRenderSeconds * 1e3 / static_cast<double>(loop.RendersSent()) : 0.0;
}

void CDemoPictures::OnRender(vhost::CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) {
  mRenderSeconds += std::chrono::duration<double>(end - start).count();
  vhost::CHost& host = loop.Host();
  for (SDemoStream& stream : mStreams) {
    const uint16_t videoOut = host.OutputIndex(*stream.mScope, "video_out");
    for (const vhost::COutputRecord* record : host.OutputsSince(mark, stream.mScope)) {
      if (record->mOutputIndex != videoOut || record->mValue.Type() != vhost::layout::kTypeData) continue;
      ++stream.mFrames;
      if (!mSave || !stream.mSkeletonsArrived || stream.mFrames % mSaveEvery != 0) continue;
      vhost::RgbaImage image;
      if (!mGL.ReadFrame(record->mValue.AsPointer(), image)) continue;
      for (size_t i = 3; i < image.mPixels.size(); i += 4) image.mPixels[i] = 255;
      const std::string path = fmt::format("{}/{}_{:05}.png", mFolder, stream.mSuit, stream.mFramesSaved + 1);
      std::string error;
      if (vhost::WriteRgbaPng(path, image, &error)) ++stream.mFramesSaved;
      stream.mKept.mFrames.push_back({loop.Seconds(), ReduceImage(image, 2)});
    }
  }
}
