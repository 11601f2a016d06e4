// A window on the desktop that shows video frames live while a run goes on:
// the canvas of preview_canvas.h, redrawn whenever a frame comes.
//
// The window lives on a thread of its own, with its own GL context, so the
// host's thread only copies frames in and never waits for the screen.
// Closing the window is seen through Closed(); the run decides what to do.
//
// Thread-safety: every public method may be called from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/gl/rgba_image.h"
#include "host/window/preview_canvas.h"

namespace vhost {

class CPreviewWindow {
 public:
  // Opens a window titled `title`; null with the reason in `error` when
  // there is no display or the window cannot be made.
  static std::unique_ptr<CPreviewWindow> Open(const std::string& title, std::string* error);
  // Whether a desktop display is named in the environment (DISPLAY or
  // WAYLAND_DISPLAY); Open() can only work when one is.
  static bool DisplayNamed();
  CPreviewWindow(const CPreviewWindow&) = delete;
  CPreviewWindow& operator=(const CPreviewWindow&) = delete;
  // Closes the window and ends its thread.
  ~CPreviewWindow();

  // Replaces the picture shown for `name` (a new name goes to the right of
  // the others). Copies the frame.
  void Show(const std::string& name, const RgbaImage& frame);
  // True once a person closed the window.
  bool Closed() const { return mClosed.load(); }
  // Waits until the window has drawn every picture handed to Show() so far
  // and returns what its framebuffer then held, with where each picture
  // went; an empty canvas when the window thread failed or `timeoutSeconds`
  // passed first.
  CPreviewCanvas WaitShown(double timeoutSeconds);

 private:
  CPreviewWindow() = default;
  void Run(const std::string& title);

  mutable std::mutex mMutex;
  std::condition_variable mChanged;
  std::vector<CPreviewPicture> mPictures;  // guarded by mMutex
  uint64_t mGeneration = 0;                // pictures handed in; guarded
  uint64_t mShownGeneration = 0;           // drawn and read back; guarded
  bool mSnapshotWanted = false;            // guarded
  CPreviewCanvas mSnapshot;                // guarded
  enum class EState { kStarting, kOpen, kFailed, kStopping } mState = EState::kStarting;  // guarded
  std::string mError;                      // guarded
  std::atomic<bool> mClosed{false};
  std::thread mThread;
};

}  // namespace vhost
