#include "tools/demo/demo_pictures.h"

#include <fmt/format.h>

#include <memory>

#include "host/gl/gl_image_buffer_backend.h"
#include "host/gl/png_writer.h"
#include "host/host.h"
#include "host/run/run_loop.h"

namespace {

// Frames waiting for the worker: about a second of both figures at the
// default rates.
constexpr size_t kQueuedFrames = 16;

}  // namespace

CDemoPictures::CDemoPictures(std::vector<SDemoStream>& streams, vhost::CGLImageBufferBackend& gl,
                             std::string framesFolder, int saveEvery, bool save)
    : mStreams(streams), mGL(gl), mFolder(std::move(framesFolder)), mSaveEvery(static_cast<uint64_t>(saveEvery)),
      mSave(save), mWritten(streams.size()), mKept(streams.size()), mQueued(streams.size()),
      mWorker(kQueuedFrames) {
  for (size_t i = 0; i < streams.size(); ++i) mKept[i].mLabel = streams[i].mSuit;
}

double CDemoPictures::RenderMs(const vhost::CRunLoop& loop) const {
  return loop.RendersSent() ? mRenderSeconds * 1e3 / static_cast<double>(loop.RendersSent()) : 0.0;
}

uint64_t CDemoPictures::FramesSaved(size_t i) const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mWritten[i];
}

void CDemoPictures::OnRender(vhost::CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) {
  mRenderSeconds += std::chrono::duration<double>(end - start).count();
  vhost::CHost& host = loop.Host();
  for (size_t i = 0; i < mStreams.size(); ++i) {
    SDemoStream& stream = mStreams[i];
    const uint16_t videoOut = host.OutputIndex(*stream.mScope, "video_out");
    for (const vhost::COutputRecord* record : host.OutputsSince(mark, stream.mScope)) {
      if (record->mOutputIndex != videoOut || record->mValue.Type() != vhost::layout::kTypeData) continue;
      ++stream.mFrames;
      if (!mSave || !stream.mSkeletonsArrived || stream.mFrames % mSaveEvery != 0) continue;
      // The frame is valid only until this Bonescope's next render: read now.
      auto image = std::make_shared<vhost::RgbaImage>();
      if (!mGL.ReadFrame(record->mValue.AsPointer(), *image)) continue;
      const std::string path = fmt::format("{}/{}_{:05}.png", mFolder, stream.mSuit, mQueued[i] + 1);
      const double seconds = loop.Seconds();
      const bool queued = mWorker.TrySubmit([this, i, image, path, seconds] {
        for (size_t p = 3; p < image->mPixels.size(); p += 4) image->mPixels[p] = 255;
        std::string error;
        const bool written = vhost::WriteRgbaPng(path, *image, &error);
        vhost::RgbaImage reduced = ReduceImage(*image, 2);
        std::lock_guard<std::mutex> lock(mMutex);
        if (written) ++mWritten[i];
        mKept[i].mFrames.push_back({seconds, std::move(reduced)});
      });
      if (queued) {
        ++mQueued[i];
      } else {
        ++stream.mFramesDropped;
      }
    }
  }
}

void CDemoPictures::OnFinish(vhost::CRunLoop&) {
  mWorker.Drain();
  std::lock_guard<std::mutex> lock(mMutex);
  for (size_t i = 0; i < mStreams.size(); ++i) {
    mStreams[i].mFramesSaved = mWritten[i];
    mStreams[i].mKept = std::move(mKept[i]);
    mKept[i] = SFrameRow{mStreams[i].mSuit, {}};
  }
}

void CDemoPictures::RunOnWorker(const std::function<void()>& job) {
  mWorker.Drain();
  // The queue is empty now, so the job is taken.
  if (!mWorker.TrySubmit(job)) job();
  mWorker.Drain();
}
