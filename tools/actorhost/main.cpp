// actorhost: the stand-in host on the command line.
//
//   actorhost inspect PLUGIN...   registration, properties and help of plug-in files
//   actorhost run PATCH           load plug-ins, wire them, tick them, print outputs
//   actorhost validate PLUGIN...  check plug-in files against the host contract
//
// All the work is in the host library; this file only reads the command line.
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "contract/watcher_stream.h"
#include "host/gl/gl_image_buffer_backend.h"
#include "host/gl/png_writer.h"
#include "host/host_error.h"
#include "host/run/patch.h"
#include "host/run/patch_runner.h"
#include "host/plugin.h"
#include "host/run/plugin_finder.h"
#include "host/run/plugin_report.h"
#include "tools/actorhost/validate_command.h"
#ifdef VORL_HAVE_PREVIEW_WINDOW
#include "host/window/preview_window.h"
#include "host/window/video_preview.h"
#endif

namespace {

std::atomic<bool> gStop{false};

constexpr int kBadCommandLine = 2;

// Number checks that say the rule in words (CLI11's own print their bounds
// as full doubles: "Value 0 not in range 0.000000 to 1797693134862315708145...").
CLI::Validator NumberAtLeast(double minimum, bool inclusive) {
  return CLI::Validator(
      [minimum, inclusive](std::string& text) -> std::string {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        const bool number = !text.empty() && end == text.c_str() + text.size() && std::isfinite(value);
        if (number && (inclusive ? value >= minimum : value > minimum)) return {};
        return fmt::format("'{}' is not a number {} {}", text, inclusive ? "of at least" : "above", minimum);
      },
      inclusive ? "NUMBER>=0" : "NUMBER>0");
}

extern "C" void OnInterrupt(int) { gStop.store(true); }

// Where plug-ins are looked for after the patch's own folders: the
// environment's VORL_PLUGIN_DIR, then the build's plugins/ folder as seen
// from this executable (build/tools/actorhost/actorhost).
std::vector<std::string> DefaultPluginDirs() {
  std::vector<std::string> dirs;
  if (const char* env = std::getenv("VORL_PLUGIN_DIR")) dirs.emplace_back(env);
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) dirs.push_back((self.parent_path() / ".." / ".." / "plugins").lexically_normal().string());
  return dirs;
}

// Gives the run headless OpenGL image buffers (and frame saving) instead of
// the host's placeholder records. Without a usable EGL the run goes on with
// placeholders, and a patch that saves frames is refused by the runner.
void UseGLImageBuffers(vhost::CRunOptions& options) {
  auto backend = std::make_shared<vhost::CGLImageBufferBackend*>(nullptr);
  options.mImageBackend = [backend]() -> std::unique_ptr<vhost::CImageBufferBackend> {
    std::string error;
    auto gl = vhost::CGLImageBufferBackend::Create(&error);
    if (!gl) {
      std::cerr << "actorhost: no OpenGL image buffers (" << error << "); using placeholders\n";
      return nullptr;
    }
    *backend = gl.get();
    return gl;
  };
  // The frame is read now; the PNG is made on the runner's picture worker.
  // Frames are drawn over transparent black; a saved picture is meant for
  // people, so it is flattened onto black (the colours already are).
  options.mSaveFrame = [backend](const void* frame, std::string* error) -> vhost::FWritePicture {
    auto image = std::make_shared<vhost::RgbaImage>();
    if (*backend == nullptr || !(*backend)->ReadFrame(frame, *image)) {
      *error = *backend == nullptr ? "no OpenGL image buffers" : "not a frame of a live image buffer";
      return {};
    }
    return [image](const std::string& path, std::string* why) {
      for (size_t i = 3; i < image->mPixels.size(); i += 4) image->mPixels[i] = 255;
      return vhost::WriteRgbaPng(path, *image, why);
    };
  };
}

int RunPatch(const std::string& file, vhost::CRunOptions options, const std::string& video,
             const std::string& jsonFile, bool window) {
  try {
    std::ofstream json;
    if (!jsonFile.empty()) {
      json.open(jsonFile, std::ios::binary | std::ios::trunc);
      if (!json) throw vhost::CHostError(fmt::format("cannot write {}", jsonFile));
      options.mJson = &json;
    }
    vhost::CPatch patch = vhost::ReadPatchFile(file);
    if (video == "gl" || (video == "auto" && patch.mRenderRate > 0)) UseGLImageBuffers(options);
    for (auto& dir : DefaultPluginDirs()) options.mPluginDirs.push_back(dir);
    options.mStreamHealth = kWatcherStreamProperties;
    // A picture size beyond what the buffers hold would only show later as
    // frames that never come.
    options.mImageSizeInputs = {"width", "height"};
    const std::string title = "actorhost: " + std::filesystem::path(file).filename().string();
    vhost::CPatchRunner runner(std::move(patch), std::move(options), std::cout);
#ifdef VORL_HAVE_PREVIEW_WINDOW
    std::unique_ptr<vhost::CPreviewWindow> preview;
    std::unique_ptr<vhost::CVideoPreview> previewObserver;
    if (window) {
      std::string error;
      preview = vhost::CPreviewWindow::Open(title, &error);
      if (preview) {
        previewObserver = std::make_unique<vhost::CVideoPreview>(*preview);
        runner.AddObserver(*previewObserver);
      } else {
        std::cerr << "actorhost: no window (" << error << "); running without one\n";
      }
    }
#else
    if (window) std::cerr << "actorhost: this build has no window (GLFW was missing); running without one\n";
#endif
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    return runner.Run(&gStop);
  } catch (const vhost::CHostError& e) {
    std::cerr << "actorhost: " << e.what() << '\n';
    return vhost::kRunBadPatch;
  }
}

// Plug-ins are named as in a patch (a path, a file stem or a display name).
// A file that is no actor plug-in (no GetActorInfo) is skipped with a note;
// the status is 1 when a name cannot be loaded or nothing was inspected.
int Inspect(const std::vector<std::string>& names, bool json) {
  int status = 0;
  size_t shown = 0;
  const auto dirs = DefaultPluginDirs();
  for (const auto& name : names) {
    try {
      const auto& plugin = vhost::FindPlugin(name, dirs);
      if (json) {
        std::cout << vhost::DescribePluginJson(plugin) << '\n';
      } else {
        if (shown > 0) std::cout << '\n';
        std::cout << vhost::DescribePlugin(plugin);
      }
      ++shown;
    } catch (const vhost::CHostError& e) {
      const std::string what = e.what();
      if (what.find("does not export GetActorInfo") != std::string::npos) {
        std::cerr << "actorhost: note: " << what << "; not an actor plug-in, skipped\n";
      } else {
        std::cerr << "actorhost: " << what << '\n';
        status = 1;
      }
    }
  }
  return shown == 0 ? 1 : status;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "actorhost: a stand-in host for Vorlane actor plug-ins. It loads plug-in files as the host "
      "does, drives their instances, wires them together and shows what they send."};
  app.require_subcommand(1);

  std::vector<std::string> files;
  auto* inspect = app.add_subcommand(
      "inspect",
      "Print each plug-in's registration (display name, codes, constants) and every property "
      "(kind, index, name, ID, type, display, limits, default) with its help text. A file that "
      "cannot be loaded gives a one-line error and exit status 1.");
  inspect->add_option("PLUGIN", files,
                      "plug-in files (.so), or names as in a patch (file stem or display name in the "
                      "plug-in directories)")
      ->required();
  bool inspectJson = false;
  inspect->add_flag("--json", inspectJson, "one JSON object per plug-in, one a line");

  std::string patchFile;
  vhost::CRunOptions options;
  double duration = 0, printRate = -1;
  uint64_t ticks = 0;
  bool fast = false, quiet = false;
  auto* run = app.add_subcommand(
      "run",
      std::string("Run a patch: a text file naming actor instances (plug-in and input values), wires, the tick "
      "rate, a duration and the outputs to print. Patch statements, one per line ('#' comments):\n") +
          vhost::PatchKeywordHelp() +
          "Outputs are named by ID, display name or declared name; quote names with blanks "
          "(split.\"head x\"); outputs added while running are found when they appear.\n"
          "Example:\n"
          "  actor watcher kavrin_watcher recv_ip_port=14043 suit_id=E46\n"
          "  actor split   bonesplit      channels=3 point_sel=\"head, left-hand, right-hand\"\n"
          "  wire  watcher.skeleton -> split.skeleton_in\n"
          "  print watcher.error watcher.recv_pkt split.*\n"
          "  expect watcher.error == ''\n"
          "Each watcher's stream health (frames, rejected, dropped, age of the last frame, error) "
          "shows with the rate lines, with a hint after 2 s without data.\n"
          "Ends after the duration, the tick count or Ctrl-C (the summary still prints).\n"
          "Exit status: 0 all well; 1 a bad patch, plug-in or file, or a named output that never "
          "appeared; 2 a bad command line; 3 contract violations, failed assertions, leaks after "
          "disposal, a failed expect, or a watcher whose error output is not empty at the end.");
  run->add_option("PATCH", patchFile, "patch file")->required();
  run->add_option("--plugin-dir", options.mPluginDirs,
                  "more folders to find plug-ins in (after the patch's plugin_dir lines; then "
                  "$VORL_PLUGIN_DIR and the build's plugins/ folder)");
  run->add_option("--duration", duration, "seconds to run (overrides the patch)")->check(NumberAtLeast(0, false));
  run->add_option("--ticks", ticks, "ticks to run (overrides the patch)")->check(NumberAtLeast(1, true));
  run->add_option("--print-rate", printRate, "reports per second (overrides the patch; 0: every tick)")
      ->check(NumberAtLeast(0, true));
  std::string video = "auto";
  run->add_option("--video", video,
                  "image buffers for video actors: gl (headless OpenGL, frames can be saved), "
                  "placeholder (plain records, nothing drawn), or auto (gl when the patch has a "
                  "render_rate)")
      ->check(CLI::IsMember({"auto", "gl", "placeholder"}))
      ->capture_default_str();
  run->add_flag("--fast", fast, "do not wait between ticks; time is counted in ticks");
  run->add_flag("--list-outputs", options.mListOutputs,
                "after the run, list each instance's outputs with IDs, current display names and last values");
  run->add_flag("--quiet-asserts", quiet, "do not print the plug-ins' failed assertions as they happen");
  bool window = false;
  run->add_flag("--window", window,
                "show every video output live in a window, side by side under its instance's name; "
                "closing the window ends the run as Ctrl-C does");
  std::string jsonFile;
  run->add_option("--json", jsonFile,
                  "also write the run to FILE as JSON Lines: one object per report, then a summary with "
                  "every count of the text summary");

  CValidateCommand validate(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // CLI11's own codes and range texts are not for users: one line, status 2.
    std::cerr << "actorhost: " << e.what() << "\n"
              << "Run 'actorhost --help' or 'actorhost run --help' for the options.\n";
    return kBadCommandLine;
  }
  if (validate.Parsed()) return validate.Run(argv[0]);
  if (inspect->parsed()) return Inspect(files, inspectJson);
  if (run->parsed()) {
    if (duration > 0) options.mDuration = duration;
    if (ticks > 0) options.mTicks = ticks;
    if (printRate >= 0) options.mPrintRate = printRate;
    options.mPaced = !fast;
    options.mPrintAssertions = !quiet;
    return RunPatch(patchFile, std::move(options), video, jsonFile, window);
  }
  return 0;
}
