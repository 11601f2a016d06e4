// Shows every video output of a run live in a preview window: after each
// render, the frames sent on outputs whose display is "texture" are read
// back and handed to the window under their instance's name. A closed
// window ends the run, as Ctrl-C does.
//
// Thread-safety: none; the loop's thread (the window has its own).
#pragma once

#include "host/run/run_observer.h"

namespace vhost {

class CPreviewWindow;

class CVideoPreview : public CRunObserver {
 public:
  // Frames are read through the host's image buffers when they are GL ones
  // (others have nothing to show). REQUIRES: `window` outlives the observer.
  explicit CVideoPreview(CPreviewWindow& window) : mWindow(window) {}

  void OnRender(CRunLoop& loop, uint64_t mark, Clock::time_point start, Clock::time_point end) override;
  bool WantsEnd(CRunLoop& loop) override;

 private:
  CPreviewWindow& mWindow;
};

}  // namespace vhost
