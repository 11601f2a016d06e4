// Runs a patch: loads the plug-ins it names, creates the instances, sets
// their inputs, wires them, activates them in patch order, then ticks them
// at the patch's rate and prints what the chosen outputs send.
//
// The printing is made for a person watching a live stream: with a print
// rate, one report per period showing the last value of each printed output
// that received something in that period and how many values came; without
// one, a report after every tick on which a printed output received a value.
// Skeleton packages print one line per joint. `fps` outputs print their
// value rate (per second of wall time when paced, of tick time when not).
//
// Thread-safety: one thread drives a runner; `stop` may be set from any
// thread (a signal handler) to end Run() after the current tick.
#pragma once

#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/run/expectations.h"
#include "host/run/frame_saver.h"
#include "host/run/patch.h"
#include "host/run/patch_instances.h"
#include "host/run/patch_reporter.h"
#include "host/run/run_loop.h"
#include "host/run/stream_health_observer.h"

namespace vhost {

struct CRunOptions {
  std::vector<std::string> mPluginDirs;  // searched after the patch's own plugin_dir lines
  std::optional<double> mDuration;       // override the patch
  std::optional<uint64_t> mTicks;
  std::optional<double> mPrintRate;
  bool mPaced = true;          // false: tick as fast as possible, time counted in ticks
  bool mListOutputs = false;   // after the run, list every instance's outputs
  bool mPrintAssertions = true;
  // Makes the image buffer backend for the run (a GL one, say); the host's
  // placeholder records when empty or when it returns null.
  std::function<std::unique_ptr<CImageBufferBackend>()> mImageBackend;
  // Reads a video frame (as sent on an output) and gives the work that
  // writes it to a PNG file (run on a picture worker). A patch with `save`
  // lines needs it.
  FSaveFrame mSaveFrame;
  // When set, every report and the final summary as JSON Lines.
  std::ostream* mJson = nullptr;
  // What watchers announce their streams on; when set, each watcher's stream
  // health comes with the rate lines and the summary.
  std::optional<CWatcherStreamProperties> mStreamHealth;
  // Numeric inputs refused above the image buffers' size limit (video
  // actors' picture sizes).
  std::vector<std::string> mImageSizeInputs;
};

// Exit statuses of a run.
inline constexpr int kRunOk = 0;
inline constexpr int kRunBadPatch = 1;   // a bad patch, plug-in or file; a target that never appeared
inline constexpr int kRunFailed = 3;     // violations, assertions, leaks, a failed expect, a watcher error

// A patch plus the observers `actorhost run` shows it with: stream health,
// expectations, frame saving and the reports, on one run loop.
class CPatchRunner {
 public:
  CPatchRunner(CPatch patch, CRunOptions options, std::ostream& out);
  CPatchRunner(const CPatchRunner&) = delete;
  CPatchRunner& operator=(const CPatchRunner&) = delete;
  ~CPatchRunner();

  // Loads, creates, presets, wires and activates. Throws CPatchError naming
  // the patch line at fault.
  void Setup();
  // More observers of the run (a window, say), called after the runner's
  // own. REQUIRES: each outlives the runner; before Run().
  void AddObserver(CRunObserver& observer);
  // One tick (and the render requests that fall due); false once the
  // duration or tick count is reached. REQUIRES: Setup() done.
  bool Step();
  // Final report, the output list if asked, then deactivation, disposal and
  // a summary line. Idempotent.
  void Finish();
  // Setup, Step until done or `stop`, Finish. Returns the exit status
  // (kRunOk, kRunBadPatch, kRunFailed).
  int Run(const std::atomic<bool>* stop = nullptr);
  // The exit status Finish() found.
  int Status() const { return mStatus; }
  uint64_t RendersSent() const { return mLoop.RendersSent(); }
  uint64_t RendersDropped() const { return mLoop.RendersDropped(); }

  CHost& Host() { return *mHost; }
  CActorInstance& Instance(const std::string& name) { return mInstances.Instance(name); }
  // Each instance's outputs: index, ID, current display name, last value.
  std::string OutputList() { return mInstances.OutputList(); }
  uint64_t Ticks() const { return mHost->TickCount(); }
  // Seconds since the first tick (wall time when paced, tick time when not).
  double Seconds() const { return mLoop.Seconds(); }

 private:
  CPatch mPatch;
  CRunOptions mOptions;
  std::ostream& mOut;
  std::unique_ptr<CHost> mHost;
  CPatchInstances mInstances;
  CRunLoop mLoop;
  CStreamHealthObserver mHealth;
  CExpectations mExpectations;
  std::unique_ptr<CFrameSaver> mSaver;  // with save lines only
  std::unique_ptr<CPatchReporter> mReporter;
  std::vector<CRunObserver*> mExtraObservers;
  bool mSetUp = false;
  bool mFinished = false;
  int mStatus = 0;
};

}  // namespace vhost
