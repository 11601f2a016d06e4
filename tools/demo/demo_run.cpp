#include "tools/demo/demo_run.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <iostream>
#include <memory>

#include "contract/watcher_stream.h"
#include "host/gl/gl_image_buffer_backend.h"
#include "host/gl/numbered_frame_writer.h"
#include "host/host.h"
#include "host/host_error.h"
#include "host/run/patch.h"
#include "host/run/patch_instances.h"
#include "host/run/run_loop.h"
#include "host/run/stream_health_observer.h"
#include "tools/demo/demo_pictures.h"
#include "tools/demo/demo_stream.h"
#include "tools/demo/demo_view.h"
#include "tools/demo/interrupt.h"
#include "tools/demo/picture_strip.h"
#include "tools/demo/simulator_drain.h"
#include "tools/demo/soak_sampler.h"
#include "tools/demo/soak_verdict.h"
#include "tools/demo/stream_latency.h"
#include "tools/demo/suit_process.h"
#include "tools/demo/udp_drop_counters.h"
#ifdef VORL_HAVE_PREVIEW_WINDOW
#include "host/window/preview_window.h"
#include "host/window/video_preview.h"
#endif

namespace {

namespace fs = std::filesystem;

constexpr size_t kSheetColumns = 4;
constexpr double kFigureSpacing = 2.5;

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

// The demo's actors as a patch: per suit a watcher and a Bonescope drawing
// its figure, and Bonesplit on the first watcher.
vhost::CPatch DemoPatch(const SDemoOptions& options, const std::string& pluginDir, int port) {
  vhost::CPatch patch;
  patch.mFile = "demo";
  patch.mTickRate = options.mTickRate;
  patch.mRenderRate = options.mRenderRate;
  auto setting = [](const std::string& input, const std::string& value) {
    return vhost::CPatchSetting{input, value, 0};
  };
  for (size_t i = 0; i < options.mSuits.size(); ++i) {
    const std::string& suit = options.mSuits[i];
    vhost::CPatchActor watcher{"watcher-" + suit, pluginDir + "/kavrin_watcher.so", {}, 0};
    watcher.mSettings = {setting("recv_ip_port", std::to_string(port)), setting("suit_id", suit)};
    vhost::CPatchActor scope{"scope-" + suit, pluginDir + "/bonescope.so", {}, 0};
    const std::pair<const char*, double> look[] = {
        {"width", options.mWidth}, {"height", options.mHeight}, {"obj_size", 6},   {"origin_size", 0.5},
        {"z_translate", -6},       {"y_translate", -0.8},      {"x_rotation", 12}, {"lighting", 0},
        // suitsim's figure N walks round a circle centred 2.5 N m along x.
        {"x_translate", -kFigureSpacing * static_cast<double>(i)}};
    for (const auto& [name, value] : look) scope.mSettings.push_back(setting(name, fmt::format("{}", value)));
    patch.mActors.push_back(std::move(watcher));
    patch.mActors.push_back(std::move(scope));
    patch.mWires.push_back({{"watcher-" + suit, "skeleton", 0}, {"scope-" + suit, "skeleton_in", 0}, 0});
  }
  vhost::CPatchActor split{"split", pluginDir + "/bonesplit.so", {}, 0};
  split.mSettings = {setting("channels", "3"), setting("point_sel", options.mJoints)};
  patch.mActors.push_back(std::move(split));
  patch.mWires.push_back({{"watcher-" + options.mSuits.front(), "skeleton", 0}, {"split", "skeleton_in", 0}, 0});
  return patch;
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
  const vhost::CPatch patch = DemoPatch(options, pluginDir, port);
  vhost::CPatchInstances instances(patch, host, std::cerr);
  std::vector<SDemoStream> streams;
  try {
    instances.Setup({});
    for (const std::string& suit : options.mSuits) {
      SDemoStream stream;
      stream.mSuit = suit;
      stream.mKept.mLabel = suit;
      stream.mWatcher = &instances.Instance("watcher-" + suit);
      stream.mScope = &instances.Instance("scope-" + suit);
      streams.push_back(std::move(stream));
    }
  } catch (const vhost::CHostError& e) {
    fmt::print(stderr, "demo: {}\n(build the plug-ins first: tools/demo.sh builds what is missing)\n", e.what());
    return 1;
  }
  vhost::CActorInstance& split = instances.Instance("split");

  // The first render builds the GL programs; done before any frame is sent,
  // it stays out of the latencies.
  host.RequestRender();

  InstallInterruptHandler();
  vhost::CRunSchedule schedule;
  schedule.mTickRate = options.mTickRate;
  schedule.mRenderRate = options.mRenderRate;
  schedule.mDuration = options.mDuration;
  vhost::CRunLoop loop(host, schedule);
  vhost::CStreamHealthObserver health(kWatcherStreamProperties);
  CStreamLatency latency(streams);
  CDemoPictures pictures(streams, *gl, (output / "frames").string(), options.mSaveEvery, !options.mSoak);
  CDemoView view(options, port, streams, health, pictures, split, StdoutIsTerminal());
  CSimulatorDrain drain(streams, health);
  CSoakSampler sampler(options.mWarmup, options.mTickRate);
  // The drain empties the recorder after every step: those reading it come
  // first, the soak's samples after.
  for (vhost::CRunObserver* observer :
       std::initializer_list<vhost::CRunObserver*>{&health, &latency, &pictures, &view, &drain}) {
    loop.Add(*observer);
  }
  if (options.mSoak) loop.Add(sampler);
#ifdef VORL_HAVE_PREVIEW_WINDOW
  std::unique_ptr<vhost::CPreviewWindow> window;
  std::unique_ptr<vhost::CVideoPreview> preview;
  const bool wanted = options.mWindow == SDemoOptions::EWindow::kOn ||
                      (options.mWindow == SDemoOptions::EWindow::kAuto && vhost::CPreviewWindow::DisplayNamed());
  if (wanted) {
    window = vhost::CPreviewWindow::Open("demo: " + fmt::format("{}", fmt::join(options.mSuits, ", ")), &error);
    if (window) {
      preview = std::make_unique<vhost::CVideoPreview>(*window);
      loop.Add(*preview);
    } else if (options.mWindow == SDemoOptions::EWindow::kOn) {
      fmt::print(stderr, "demo: no window ({}); running without one\n", error);
    }
  }
#else
  if (options.mWindow == SDemoOptions::EWindow::kOn)
    fmt::print(stderr, "demo: this build has no window (GLFW was missing); running without one\n");
#endif

  for (size_t i = 0; i < streams.size(); ++i) {
    SDemoStream& stream = streams[i];
    stream.mSimulator = std::make_unique<CSuitProcess>();
    if (!stream.mSimulator->Start(suitsim, stream.mSuit, static_cast<int>(i), options.mRate,
                                  static_cast<uint16_t>(port), error)) {
      fmt::print(stderr, "demo: {}\n", error);
      return 1;
    }
  }
  loop.Run();
  host.Recorder().Clear();
  const double stoppedAt = drain.StoppedAt();

  SSoakFigures& soak = sampler.Figures();
  const bool measuring = sampler.Measuring();
  if (options.mSoak) {
    const CTickTiming& timing = sampler.Timing();
    soak.mRate = options.mRate;
    soak.mWarmupSeconds = options.mWarmup;
    soak.mPort = port;
    soak.mEnd = TakeSoakSample(host, loop.Seconds());
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
  summary.mRenderMs = pictures.RenderMs(loop);
  for (size_t i = 0; i < streams.size(); ++i) {
    SDemoStream& state = streams[i];
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
    summary.mFramesDropped += state.mFramesDropped;
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
  instances.DisposeAll();

  std::vector<SFrameRow> rows;
  for (SDemoStream& state : streams) rows.push_back(std::move(state.mKept));
  const std::string title = fmt::format("DEMO  {}  {:.0f} FRAMES/S  PORT {}", fmt::join(options.mSuits, " "),
                                        options.mRate, port);
  if (summary.mFramesSaved > 0) {
    std::string sheetError, gifError;
    bool sheet = false, gif = false;
    pictures.RunOnWorker([&] {
      sheet = WriteContactSheet((output / "contact-sheet.png").string(), rows, kSheetColumns, title, &sheetError);
      gif = WriteAnimationGif((output / "animation.gif").string(), rows, options.mRenderRate / options.mSaveEvery,
                              &gifError);
    });
    if (!sheet) summary.mProblems.push_back("contact sheet: " + sheetError);
    if (!gif) summary.mProblems.push_back("animation: " + gifError);
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
  fmt::print("  render {:.2f} ms per request; {} PNG files in {}, {} frame(s) dropped while the writer was behind\n",
             summary.mRenderMs, summary.mFramesSaved, (output / "frames").string(), summary.mFramesDropped);
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
