// The demo's pictures: counts each Bonescope's frames and, once skeletons
// arrive, keeps every Nth frame as a numbered PNG file and a reduced copy
// for the contact sheet and the animation. Also times the renders.
//
// Thread-safety: none; the loop's thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/run/run_observer.h"
#include "tools/demo/demo_stream.h"

namespace vhost {
class CGLImageBufferBackend;
}

class CDemoPictures : public vhost::CRunObserver {
 public:
  // `save`: false counts frames only (the soak).
  CDemoPictures(std::vector<SDemoStream>& streams, vhost::CGLImageBufferBackend& gl, std::string framesFolder,
                int saveEvery, bool save);

  void OnRender(vhost::CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) override;
  // Mean time of a render request (every Bonescope), in milliseconds.
  double RenderMs(const vhost::CRunLoop& loop) const;

 private:
  std::vector<SDemoStream>& mStreams;
  vhost::CGLImageBufferBackend& mGL;
  std::string mFolder;
  uint64_t mSaveEvery;
  bool mSave;
  double mRenderSeconds = 0;
};
