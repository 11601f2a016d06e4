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
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "host/gl/gl_image_buffer_backend.h"
#include "host/gl/png_writer.h"
#include "host/host_error.h"
#include "host/patch.h"
#include "host/patch_runner.h"
#include "host/plugin.h"
#include "host/plugin_report.h"
#include "tools/actorhost/validate_command.h"

namespace {

std::atomic<bool> gStop{false};

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
  // Frames are drawn over transparent black; a saved picture is meant for
  // people, so it is flattened onto black (the colours already are).
  auto image = std::make_shared<vhost::RgbaImage>();
  options.mSaveFrame = [backend, image](const void* frame, const std::string& path, std::string* error) {
    if (*backend == nullptr || !(*backend)->ReadFrame(frame, *image)) {
      *error = *backend == nullptr ? "no OpenGL image buffers" : "not a frame of a live image buffer";
      return false;
    }
    for (size_t i = 3; i < image->mPixels.size(); i += 4) image->mPixels[i] = 255;
    return vhost::WriteRgbaPng(path, *image, error);
  };
}

int RunPatch(const std::string& file, vhost::CRunOptions options, const std::string& video) {
  try {
    vhost::CPatch patch = vhost::ReadPatchFile(file);
    if (video == "gl" || (video == "auto" && patch.mRenderRate > 0)) UseGLImageBuffers(options);
    for (auto& dir : DefaultPluginDirs()) options.mPluginDirs.push_back(dir);
    vhost::CPatchRunner runner(std::move(patch), std::move(options), std::cout);
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    return runner.Run(&gStop);
  } catch (const vhost::CHostError& e) {
    std::cerr << "actorhost: " << e.what() << '\n';
    return 1;
  }
}

int Inspect(const std::vector<std::string>& files) {
  int status = 0;
  bool first = true;
  for (const auto& file : files) {
    try {
      const auto& plugin = vhost::LoadPlugin(file);
      if (!first) std::cout << '\n';
      first = false;
      std::cout << vhost::DescribePlugin(plugin);
    } catch (const vhost::CHostError& e) {
      std::cerr << "actorhost: " << e.what() << '\n';
      status = 1;
    }
  }
  return status;
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
  inspect->add_option("PLUGIN", files, "plug-in files (.so)")->required();

  std::string patchFile;
  vhost::CRunOptions options;
  double duration = 0, printRate = -1;
  uint64_t ticks = 0;
  bool fast = false, quiet = false;
  auto* run = app.add_subcommand(
      "run",
      "Run a patch: a text file naming actor instances (plug-in and input values), wires, the tick "
      "rate, a duration and the outputs to print. Patch statements, one per line ('#' comments):\n"
      "  actor NAME PLUGIN [INPUT=VALUE ...]   PLUGIN: a .so path, or a file stem or display name\n"
      "                                        found in the plug-in directories\n"
      "  wire FROM.OUTPUT -> TO.INPUT\n"
      "  plugin_dir DIR                        (relative to the patch file)\n"
      "  tick_rate HZ (60)   render_rate HZ (0)   duration SECONDS   ticks N\n"
      "  print INSTANCE.OUTPUT|INSTANCE.* ...  print_rate HZ (0: after each tick with news)\n"
      "  fps INSTANCE.OUTPUT ...               values per second of those outputs\n"
      "  save INSTANCE.OUTPUT DIR [EVERY]      video frames as DIR/INSTANCE_OUTPUT_00001.png, ...\n"
      "                                        (every EVERY-th; needs render_rate)\n"
      "Example:\n"
      "  actor watcher kavrin_watcher recv_ip_port=14043 suit_id=E46\n"
      "  actor split   bonesplit      channels=3 point_sel=\"head, left-hand, right-hand\"\n"
      "  wire  watcher.skeleton -> split.skeleton_in\n"
      "  print watcher.error watcher.recv_pkt split.*\n"
      "Ends after the duration, the tick count or Ctrl-C. Exit status: 0, 1 for a bad patch or "
      "plug-in, 3 when the host saw the plug-ins break its contract.");
  run->add_option("PATCH", patchFile, "patch file")->required();
  run->add_option("--plugin-dir", options.mPluginDirs,
                  "more folders to find plug-ins in (after the patch's plugin_dir lines; then "
                  "$VORL_PLUGIN_DIR and the build's plugins/ folder)");
  run->add_option("--duration", duration, "seconds to run (overrides the patch)")->check(CLI::PositiveNumber);
  run->add_option("--ticks", ticks, "ticks to run (overrides the patch)")->check(CLI::PositiveNumber);
  run->add_option("--print-rate", printRate, "reports per second (overrides the patch; 0: every tick)")
      ->check(CLI::NonNegativeNumber);
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

  CValidateCommand validate(app);

  CLI11_PARSE(app, argc, argv);
  if (validate.Parsed()) return validate.Run(argv[0]);
  if (inspect->parsed()) return Inspect(files);
  if (run->parsed()) {
    if (duration > 0) options.mDuration = duration;
    if (ticks > 0) options.mTicks = ticks;
    if (printRate >= 0) options.mPrintRate = printRate;
    options.mPaced = !fast;
    options.mPrintAssertions = !quiet;
    return RunPatch(patchFile, std::move(options), video);
  }
  return 0;
}
