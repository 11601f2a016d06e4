#include "tools/demo/demo_run.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include "host/gl/gl_image_buffer_backend.h"
#include "host/gl/numbered_frame_writer.h"
#include "host/gl/png_writer.h"
#include "host/host.h"
#include "host/host_error.h"
#include "host/plugin.h"
#include "host/stream_health.h"
#include "tools/demo/interrupt.h"
#include "tools/demo/latency_stats.h"
#include "tools/demo/live_view.h"
#include "tools/demo/picture_strip.h"
#include "tools/demo/process_memory.h"
#include "tools/demo/soak_verdict.h"
#include "tools/demo/suit_process.h"
#include "tools/demo/tick_timing.h"
#include "tools/demo/udp_drop_counters.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr double kViewPeriod = 0.25;
// After the simulators stop: frames still on their way get this long.
constexpr double kDrainSeconds = 1.0;
constexpr size_t kSheetColumns = 4;
constexpr double kFigureSpacing = 2.5;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int64_t NowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// A UDP port free on every address a moment ago.
int FindFreePort() {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t length = sizeof(address);
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

std::string SelfDirectory() {
  std::error_code ec;
  const auto self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : self.parent_path().string();
}

// Removes what an earlier run left: the numbered frames and the known files.
void ClearOutput(const fs::path& folder) {
  std::error_code ec;
  fs::remove_all(folder / "frames", ec);
  for (const char* name : {"contact-sheet.png", "animation.gif", "summary.json", "soak.json"})
    fs::remove(folder / name, ec);
}

struct SWatcherState {
  std::string mSuit;
  vhost::CActorInstance* mWatcher = nullptr;
  vhost::CActorInstance* mScope = nullptr;
  std::unique_ptr<CSuitProcess> mSimulator;
  CLatencyStats mLatency;
  bool mSkeletonsArrived = false;
  bool mWentSilent = false;
  uint64_t mRenders = 0;
  uint64_t mFrames = 0;       // video_out frames seen
  uint64_t mFramesSaved = 0;
  SFrameRow mKept;
  uint64_t mFramesAtLastView = 0;
  uint64_t mReceivedAtLastView = 0;
  double mFps = 0, mScopeFps = 0;
};

std::string Fixed(double value) { return fmt::format("{:7.3f}", value); }

// What the soak samples: this process's memory and the host's ledgers.
SSoakSample TakeSample(vhost::CHost& host, double seconds) {
  SSoakSample sample;
  sample.mSeconds = seconds;
  sample.mRssKb = ResidentKilobytes().value_or(0);
  sample.mLiveBlocks = host.Memory().LiveBlocks();
  sample.mLiveBytes = host.Memory().LiveBytes();
  sample.mLiveStrings = host.Strings().LiveStrings();
  sample.mImageBuffers = host.LiveImageBuffers();
  sample.mReceivers = host.Receivers().All().size();
  sample.mRecorded = host.Recorder().All().size();
  return sample;
}

}  // namespace

int RunDemo(const SDemoOptions& options) {
  const std::string self = SelfDirectory();
  const std::string pluginDir = options.mPluginDir.empty() ? self + "/../../plugins" : options.mPluginDir;
  const std::string suitsim = options.mSuitsim.empty() ? self + "/../suitsim/suitsim" : options.mSuitsim;
  const fs::path output = options.mOutput;
  std::error_code ec;
  ClearOutput(output);
  fs::create_directories(output / "frames", ec);
  if (ec) {
    fmt::print(stderr, "demo: cannot make {}: {}\n", (output / "frames").string(), ec.message());
    return 1;
  }
  const int port = options.mPort != 0 ? options.mPort : FindFreePort();
  if (port == 0) {
    fmt::print(stderr, "demo: no free UDP port found; give one with --port\n");
    return 1;
  }

  vhost::CHost host;
  std::string error;
  vhost::CGLImageBufferBackend* gl = vhost::InstallGLImageBufferBackend(host, &error);
  if (gl == nullptr) {
    fmt::print(stderr, "demo: no OpenGL image buffers ({}); run tools/install_deps.sh for Mesa's EGL\n", error);
    return 1;
  }
  std::vector<SWatcherState> streams;
  vhost::CActorInstance* split = nullptr;
  try {
    const vhost::CPlugin& watcherPlugin = vhost::LoadPlugin(pluginDir + "/kavrin_watcher.so");
    const vhost::CPlugin& splitPlugin = vhost::LoadPlugin(pluginDir + "/bonesplit.so");
    const vhost::CPlugin& scopePlugin = vhost::LoadPlugin(pluginDir + "/bonescope.so");
    for (const std::string& suit : options.mSuits) {
      SWatcherState state;
      state.mSuit = suit;
      state.mKept.mLabel = suit;
      state.mWatcher = &host.AddInstance(watcherPlugin, "watcher-" + suit);
      host.Create(*state.mWatcher);
      host.PresetInput(*state.mWatcher, host.InputIndex(*state.mWatcher, "recv_ip_port"), vhost::CHostValue::Integer(port));
      host.PresetInput(*state.mWatcher, host.InputIndex(*state.mWatcher, "suit_id"), vhost::CHostValue::String(suit));
      state.mScope = &host.AddInstance(scopePlugin, "scope-" + suit);
      host.Create(*state.mScope);
      const std::pair<const char*, double> look[] = {
          {"width", options.mWidth}, {"height", options.mHeight}, {"obj_size", 6},   {"origin_size", 0.5},
          {"z_translate", -6},       {"y_translate", -0.8},      {"x_rotation", 12}, {"lighting", 0},
          // suitsim's figure N walks round a circle centred 2.5 N m along x.
          {"x_translate", -kFigureSpacing * static_cast<double>(streams.size())}};
      for (const auto& [name, value] : look)
        host.PresetInput(*state.mScope, host.InputIndex(*state.mScope, name), vhost::CHostValue::Float(value));
      host.Connect(*state.mWatcher, host.OutputIndex(*state.mWatcher, "skeleton"), *state.mScope,
                   host.InputIndex(*state.mScope, "skeleton_in"));
      streams.push_back(std::move(state));
    }
    split = &host.AddInstance(splitPlugin, "split");
    host.Create(*split);
    host.PresetInput(*split, host.InputIndex(*split, "channels"), vhost::CHostValue::Integer(3));
    host.PresetInput(*split, host.InputIndex(*split, "point_sel"), vhost::CHostValue::String(options.mJoints));
    host.Connect(*streams.front().mWatcher, host.OutputIndex(*streams.front().mWatcher, "skeleton"), *split,
                 host.InputIndex(*split, "skeleton_in"));
    for (SWatcherState& state : streams) {
      host.Activate(*state.mWatcher);
      host.Activate(*state.mScope);
    }
    host.Activate(*split);
  } catch (const vhost::CHostError& e) {
    fmt::print(stderr, "demo: {}\n(build the plug-ins first: tools/demo.sh builds what is missing)\n", e.what());
    return 1;
  }

  // The first render builds the GL programs; done before any frame is sent,
  // it stays out of the latencies.
  host.RequestRender();

  InstallInterruptHandler();
  const Clock::time_point start = Clock::now();
  vhost::CStreamHealth health;
  health.TrackWatchers(host, 0.0);
  for (size_t i = 0; i < streams.size(); ++i) {
    SWatcherState& state = streams[i];
    state.mSimulator = std::make_unique<CSuitProcess>();
    if (!state.mSimulator->Start(suitsim, state.mSuit, static_cast<int>(i), options.mRate,
                                 static_cast<uint16_t>(port), error)) {
      fmt::print(stderr, "demo: {}\n", error);
      return 1;
    }
  }

  const bool terminal = StdoutIsTerminal();
  CLiveView view(terminal);
  // Plain lines for a log: one block a second.
  const double viewPeriod = terminal ? kViewPeriod : 1.0;
  std::map<std::string, double> splitValues;  // Bonesplit output name -> last value
  double renderSeconds = 0;
  uint64_t renderRequests = 0;
  double nextView = 0;
  double lastView = 0;
  bool stopping = false;
  double stoppedAt = 0;
  const uint16_t videoOut = host.OutputIndex(*streams.front().mScope, "video_out");
  Clock::time_point nextTick = start;
  const auto tickPeriod = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / options.mTickRate));
  CTickTiming timing;
  timing.SetGapLimit(2e3 / options.mTickRate);
  SSoakFigures soak;
  bool measuring = false;
  double nextRssSample = 0;

  auto takeOutputs = [&](uint64_t mark) {
    const int64_t now = NowNanoseconds();
    for (SWatcherState& state : streams) {
      for (const vhost::COutputRecord* record : host.OutputsSince(mark, state.mWatcher, "skel")) {
        if (!record->mSkeleton || record->mSkeleton->mTrackingState == 0) continue;
        state.mSkeletonsArrived = true;
        for (const vhost::CSkeletonPoint& point : record->mSkeleton->mPoints) {
          if (point.mName != "hip") continue;
          uint32_t x = 0;
          uint32_t z = 0;
          std::memcpy(&x, &point.mX, 4);
          std::memcpy(&z, &point.mZ, 4);
          if (const auto sent = state.mSimulator->TakeSendTime(x, z)) {
            state.mLatency.Add(static_cast<double>(now - *sent) / 1e6);
          }
        }
      }
    }
    for (const vhost::COutputRecord* record : host.OutputsSince(mark, split)) {
      if (record->mValue.Type() == vhost::layout::kTypeFloat) splitValues[record->mOutputName] = record->mValue.AsFloat();
    }
  };

  for (;;) {
    if (Clock::now() < nextTick) {
      timing.Sleeping(Clock::now());
      std::this_thread::sleep_until(nextTick);
      timing.Woke(nextTick, Clock::now());
    }
    nextTick += tickPeriod;
    const double now = SecondsSince(start);
    // A watcher that could not bind shows nothing worth waiting for.
    bool failed = false;
    for (const vhost::CWatcherHealth& h : health.Watchers()) failed = failed || !h.mError.empty();
    if (!stopping && (now >= options.mDuration || Interrupted() || (failed && now > 0.5))) {
      stopping = true;
      stoppedAt = now;
      for (SWatcherState& state : streams) state.mSimulator->Stop();
    }
    uint64_t mark = host.Mark();
    const Clock::time_point tickStart = Clock::now();
    host.Tick();
    timing.Tick(tickStart, Clock::now());
    takeOutputs(mark);
    health.Update(host, now);
    // Everything recorded is taken in: a long run keeps none of it.
    host.Recorder().Clear();
    if (options.mSoak && !stopping && !measuring && now >= options.mWarmup) {
      measuring = true;
      timing.Reset();
      soak.mStart = TakeSample(host, now);
      soak.mPeakRssKb = soak.mStart.mRssKb;
      soak.mUdpErrorsStart = UdpErrors();
      nextRssSample = now + 1.0;
    } else if (measuring && !stopping && now >= nextRssSample) {
      nextRssSample += 1.0;
      soak.mPeakRssKb = std::max(soak.mPeakRssKb, ResidentKilobytes().value_or(0));
    }
    if (stopping) {
      bool allIn = true;
      for (size_t i = 0; i < streams.size(); ++i)
        if (health.Watchers()[i].mReceived < streams[i].mSimulator->Sent()) allIn = false;
      if (allIn || now - stoppedAt >= kDrainSeconds || Interrupted()) break;
      continue;
    }

    if (static_cast<double>(renderRequests) / options.mRenderRate <= now) {
      mark = host.Mark();
      const Clock::time_point renderStart = Clock::now();
      host.RequestRender();
      timing.Render(renderStart, Clock::now());
      renderSeconds += SecondsSince(renderStart);
      ++renderRequests;
      for (SWatcherState& state : streams) {
        for (const vhost::COutputRecord* record : host.OutputsSince(mark, state.mScope)) {
          if (record->mOutputIndex != videoOut || record->mValue.Type() != vhost::layout::kTypeData) continue;
          ++state.mFrames;
          if (options.mSoak || !state.mSkeletonsArrived || state.mFrames % static_cast<uint64_t>(options.mSaveEvery) != 0) continue;
          vhost::RgbaImage image;
          if (!gl->ReadFrame(record->mValue.AsPointer(), image)) continue;
          for (size_t i = 3; i < image.mPixels.size(); i += 4) image.mPixels[i] = 255;
          const std::string path =
              (output / "frames" / fmt::format("{}_{:05}.png", state.mSuit, state.mFramesSaved + 1)).string();
          if (vhost::WriteRgbaPng(path, image, &error)) ++state.mFramesSaved;
          state.mKept.mFrames.push_back({now, ReduceImage(image, 2)});
        }
      }
      host.Recorder().Clear();
    }

    for (size_t i = 0; i < streams.size(); ++i)
      if (!health.Watchers()[i].mHint.empty()) streams[i].mWentSilent = true;
    if (now >= nextView) {
      nextView += viewPeriod;
      const double span = now - lastView;
      lastView = now;
      std::vector<std::string> lines;
      lines.push_back(fmt::format("demo: suits {} on 127.0.0.1:{}, {:.1f} of {:.0f} s (Ctrl-C ends early)",
                                  fmt::join(options.mSuits, ", "), port, now, options.mDuration));
      lines.push_back("watcher        frames/s  received  lost  rejected  latency ms med/p99/max   last frame  error");
      for (size_t i = 0; i < streams.size(); ++i) {
        SWatcherState& state = streams[i];
        const vhost::CWatcherHealth& h = health.Watchers()[i];
        if (span > 0) {
          state.mFps = static_cast<double>(h.mReceived - state.mReceivedAtLastView) / span;
          state.mScopeFps = static_cast<double>(state.mFrames - state.mFramesAtLastView) / span;
        }
        state.mReceivedAtLastView = h.mReceived;
        state.mFramesAtLastView = state.mFrames;
        const uint64_t sent = state.mSimulator->Sent();
        const uint64_t rejected = h.mCounters ? h.mCounters->mDatagramsRejected : 0;
        lines.push_back(fmt::format("{:<14} {:8.1f}  {:8}  {:4}  {:8}  {:6.2f} {:6.2f} {:6.2f}   {:7.2f} s  '{}'",
                                    h.mName, state.mFps, h.mReceived, sent > h.mReceived + 2 ? sent - h.mReceived : 0,
                                    rejected, state.mLatency.Percentile(0.5), state.mLatency.Percentile(0.99),
                                    state.mLatency.Max(), h.mAge, h.mError));
        if (!h.mHint.empty()) lines.push_back("  " + h.mHint);
      }
      lines.push_back(fmt::format("Bonesplit on {} ({}):", streams.front().mWatcher->Name(), options.mJoints));
      lines.push_back("  joint              x        y        z");
      std::map<std::string, std::array<double, 3>> table;
      for (const auto& [name, value] : splitValues) {
        const auto blank = name.find_last_of(" _");
        if (blank == std::string::npos || blank + 1 >= name.size()) continue;
        const char axis = name[blank + 1];
        if (axis < 'x' || axis > 'z') continue;
        table[name.substr(0, blank)][static_cast<size_t>(axis - 'x')] = value;
      }
      for (const auto& [joint, xyz] : table)
        lines.push_back(fmt::format("  {:<16} {} {} {}", joint, Fixed(xyz[0]), Fixed(xyz[1]), Fixed(xyz[2])));
      for (SWatcherState& state : streams)
        lines.push_back(fmt::format("{:<14} {:5.1f} frames/s, render {:.2f} ms per request, {} PNG files",
                                    state.mScope->Name(), state.mScopeFps,
                                    renderRequests ? renderSeconds * 1e3 / static_cast<double>(renderRequests) : 0.0,
                                    state.mFramesSaved));
      view.Show(lines);
    }
  }

  if (options.mSoak) {
    soak.mRate = options.mRate;
    soak.mWarmupSeconds = options.mWarmup;
    soak.mPort = port;
    soak.mEnd = TakeSample(host, SecondsSince(start));
    soak.mPeakRssKb = std::max(soak.mPeakRssKb, soak.mEnd.mRssKb);
    soak.mRssToleranceKb = static_cast<uint64_t>(options.mRssToleranceMb * 1024.0);
    // The port's socket goes with the last watcher on it: read it now.
    soak.mSocketDrops = UdpSocketDrops(port);
    soak.mUdpErrorsEnd = UdpErrors();
    soak.mTickPeriodMs = 1e3 / options.mTickRate;
    soak.mJudgeTicks = options.mJudgeTicks;
    soak.mTicks = measuring ? timing.Ticks() : 0;
    soak.mLongestGapMs = timing.LongestGapMs();
    soak.mLongestTickMs = timing.LongestTickMs();
    soak.mLongestRenderMs = timing.LongestRenderMs();
    soak.mLongestWakeDelayMs = timing.LongestWakeDelayMs();
    soak.mLongestWorkMs = timing.LongestWorkMs();
    soak.mLateTicks = timing.LateTicks();
    for (size_t i = 0; i < streams.size(); ++i) {
      const vhost::CWatcherHealth& h = health.Watchers()[i];
      soak.mStreams.push_back({h.mName, streams[i].mSimulator->Sent(), h.mReceived,
                               h.mCounters ? h.mCounters->mDatagramsRejected : 0,
                               h.mCounters ? h.mCounters->mMessagesDropped : 0});
    }
  }

  SDemoSummary summary;
  summary.mDurationSeconds = stoppedAt;
  summary.mRenderMs = renderRequests ? renderSeconds * 1e3 / static_cast<double>(renderRequests) : 0.0;
  for (size_t i = 0; i < streams.size(); ++i) {
    SWatcherState& state = streams[i];
    const vhost::CWatcherHealth& h = health.Watchers()[i];
    SWatcherResult result;
    result.mName = h.mName;
    result.mSuit = state.mSuit;
    result.mPort = port;
    result.mSent = state.mSimulator->Sent();
    result.mReceived = h.mReceived;
    result.mLost = result.mSent > result.mReceived ? result.mSent - result.mReceived : 0;
    result.mRejected = h.mCounters ? h.mCounters->mDatagramsRejected : 0;
    result.mMedianMs = state.mLatency.Percentile(0.5);
    result.mP99Ms = state.mLatency.Percentile(0.99);
    result.mMaxMs = state.mLatency.Max();
    result.mLatencySamples = state.mLatency.Count();
    result.mError = h.mError;
    result.mWentSilent = state.mWentSilent;
    summary.mFramesSaved += state.mFramesSaved;
    summary.mScopeFps.push_back(stoppedAt > 0 ? static_cast<double>(state.mFrames) / stoppedAt : 0.0);
    if (!h.mError.empty() && h.mError.find("bind") != std::string::npos) {
      summary.mProblems.push_back(fmt::format(
          "{} reports '{}': port {} is held by another program; stop that program, or pick another "
          "port with --port (without --port the demo finds a free one)",
          h.mName, h.mError, port));
    } else if (!h.mError.empty()) {
      summary.mProblems.push_back(fmt::format(
          "{} reports '{}': the watcher cannot receive; check its recv_ip_port and the network", h.mName, h.mError));
    } else if (result.mReceived == 0) {
      summary.mProblems.push_back(fmt::format(
          "{} received nothing on port {}: check that suitsim runs ({}) and that nothing filters loopback UDP",
          h.mName, port, state.mSimulator->LastMessage()));
    } else if (state.mWentSilent) {
      summary.mProblems.push_back(fmt::format(
          "{} received nothing for {} s during the run: run the demo again on an idle machine", h.mName,
          health.Silence()));
    } else if (result.mLost > 0 && !options.mSoak) {  // the soak counts the kernel's drops against it
      summary.mProblems.push_back(fmt::format(
          "{} lost {} of {} frames: run the demo again on an idle machine; if frames are still lost, "
          "the receiver falls behind (see suit_receiver/)",
          h.mName, result.mLost, result.mSent));
    }
    summary.mWatchers.push_back(result);
  }
  for (SWatcherState& state : streams) {
    host.Dispose(*state.mScope);
    host.Dispose(*state.mWatcher);
  }
  host.Dispose(*split);

  std::vector<SFrameRow> rows;
  for (SWatcherState& state : streams) rows.push_back(std::move(state.mKept));
  const std::string title = fmt::format("DEMO  {}  {:.0f} FRAMES/S  PORT {}", fmt::join(options.mSuits, " "),
                                        options.mRate, port);
  if (summary.mFramesSaved > 0) {
    if (!WriteContactSheet((output / "contact-sheet.png").string(), rows, kSheetColumns, title, &error))
      summary.mProblems.push_back("contact sheet: " + error);
    if (!WriteAnimationGif((output / "animation.gif").string(), rows,
                           options.mRenderRate / options.mSaveEvery, &error))
      summary.mProblems.push_back("animation: " + error);
  } else if (summary.mProblems.empty() && !options.mSoak) {
    summary.mProblems.push_back("no skeleton arrived, so no picture was saved");
  }
  if (!WriteSummaryJson((output / "summary.json").string(), summary, &error)) summary.mProblems.push_back(error);
  std::vector<SSoakCheck> soakChecks;
  bool soakPassed = true;
  if (options.mSoak) {
    soakChecks = CheckSoak(soak);
    for (const SSoakCheck& check : soakChecks) soakPassed = soakPassed && check.mPassed;
    soakPassed = soakPassed && measuring;
    if (!WriteSoakJson((output / "soak.json").string(), soak, soakChecks, &error)) summary.mProblems.push_back(error);
  }

  fmt::print("\nsummary ({:.1f} s):\n", summary.mDurationSeconds);
  for (const SWatcherResult& w : summary.mWatchers) {
    fmt::print("  {} (suit {}): sent {}, received {}, lost {}, rejected {}, latency median {:.2f} ms, "
               "p99 {:.2f} ms, max {:.2f} ms, error '{}'\n",
               w.mName, w.mSuit, w.mSent, w.mReceived, w.mLost, w.mRejected, w.mMedianMs, w.mP99Ms,
               w.mMaxMs, w.mError);
  }
  fmt::print("  render {:.2f} ms per request; {} PNG files in {}\n", summary.mRenderMs, summary.mFramesSaved,
             (output / "frames").string());
  std::string files;
  for (const char* name : {"contact-sheet.png", "animation.gif", "summary.json", "soak.json"})
    if (fs::exists(output / name)) files += std::string(files.empty() ? "" : ", ") + name;
  fmt::print("  in {}: {}\n", output.string(), files);
  for (const std::string& problem : summary.mProblems) fmt::print(stderr, "demo: {}\n", problem);
  if (options.mSoak) {
    fmt::print("\n{}", SoakReport(soak, soakChecks));
    if (!measuring) {
      fmt::print(stderr, "demo: the run ended before its {:.1f} s of warm-up; nothing was measured\n",
                 options.mWarmup);
    }
  }
  if (!host.Violations().empty()) {
    fmt::print(stderr, "demo: the host saw {} contract violations, first: {}\n", host.Violations().size(),
               host.Violations().front());
    return 1;
  }
  return summary.mProblems.empty() && soakPassed ? 0 : 1;
}
