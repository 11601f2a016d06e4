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
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <ostream>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/run/patch.h"
#include "host/stream_health.h"

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
  // Writes a video frame (as sent on an output) to a PNG file; false with the
  // reason in `error` when it cannot. A patch with `save` lines needs it.
  std::function<bool(const void* frame, const std::string& path, std::string* error)> mSaveFrame;
  // When set, every report and the final summary as JSON Lines.
  std::ostream* mJson = nullptr;
};

// Exit statuses of a run.
inline constexpr int kRunOk = 0;
inline constexpr int kRunBadPatch = 1;   // a bad patch, plug-in or file; a target that never appeared
inline constexpr int kRunFailed = 3;     // violations, assertions, leaks, a failed expect, a watcher error

class CPatchRunner {
 public:
  CPatchRunner(CPatch patch, CRunOptions options, std::ostream& out);
  CPatchRunner(const CPatchRunner&) = delete;
  CPatchRunner& operator=(const CPatchRunner&) = delete;

  // Loads, creates, presets, wires and activates. Throws CPatchError naming
  // the patch line at fault.
  void Setup();
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
  uint64_t RendersSent() const { return mRendersSent; }
  uint64_t RendersDropped() const { return mRendersDropped; }

  CHost& Host() { return *mHost; }
  CActorInstance& Instance(const std::string& name);
  // Each instance's outputs: index, ID, current display name, last value.
  std::string OutputList();
  uint64_t Ticks() const { return mHost->TickCount(); }
  // Seconds since the first tick (wall time when paced, tick time when not).
  double Seconds() const;

 private:
  void Report(bool final);
  // Connects wires and records targets whose outputs now exist.
  void ResolveTargets();
  // Adds what the outputs sent since the last call to the run's totals.
  void CountOutputs();
  void SendRenders(double now);
  void Preset(CActorInstance& instance, const CPatchSetting& setting);
  std::string SaveDirectory(const CPatchSave& save) const;
  // The result of each expect: empty when it held, else why not.
  std::vector<std::string> CheckExpects();
  uint16_t OutputOf(const CPatchTarget& target);
  std::vector<std::string> PluginDirs() const;
  std::optional<std::string> OutputIDOf(const CPatchTarget& target);
  // Writes the frames that `save` outputs received since `mark`.
  void SaveFrames(uint64_t mark);

  CPatch mPatch;
  CRunOptions mOptions;
  std::ostream& mOut;
  std::unique_ptr<CHost> mHost;
  std::vector<CActorInstance*> mOrder;  // patch order
  double mTickRate = 60.0;
  double mPrintRate = 0.0;
  std::optional<double> mDuration;
  std::optional<uint64_t> mTickLimit;
  double mStartSeconds = 0.0;  // wall clock at the first tick, steady
  bool mStarted = false;
  bool mFinished = false;
  uint64_t mRenderSlots = 0;    // render requests due so far
  uint64_t mRendersSent = 0;
  uint64_t mRendersDropped = 0;  // due while the run could not keep up
  uint64_t mReportsDone = 0;     // periodic reports, on the schedule n / print_rate
  uint64_t mFpsWindows = 0;      // fps windows closed, on the schedule n / fps period
  double mLastFpsTime = 0.0;
  int mStatus = 0;
  CStreamHealth mHealth;
  uint64_t mCountMark = 0;
  std::map<std::pair<uint32_t, std::string>, uint64_t> mTotals;  // (instance serial, output ID) -> values
  std::vector<bool> mWired;         // per mPatch.mWires entry
  std::set<std::string> mResolved;  // targets (Text()) whose output existed at some point
  std::map<std::string, uint64_t> mFpsCounts;  // "instance.ID" -> values since last fps line
  std::set<std::string> mShown;                // print targets reported at least once
  struct CSaveState {
    uint64_t mFramesSeen = 0;
    uint64_t mFilesWritten = 0;
    bool mFailed = false;  // the first failure is reported, later ones are not
    bool mArmed = false;   // the instance has data to draw
  };
  std::vector<CSaveState> mSaveStates;  // one per mPatch.mSaves entry
};

}  // namespace vhost
