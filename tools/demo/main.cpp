// demo: the first thing to run. Two simulated suits through the watcher,
// Bonesplit and Bonescope in the stand-in host, a live view of each stream,
// then pictures and a summary in demo-output/.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <sstream>

#include "tools/demo/demo_run.h"

namespace {

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    while (!item.empty() && item.front() == ' ') item.erase(item.begin());
    while (!item.empty() && item.back() == ' ') item.pop_back();
    if (!item.empty()) items.push_back(item);
  }
  return items;
}

}  // namespace

int main(int argc, char** argv) {
  SDemoOptions options;
  CLI::App app{
      "demo: simulated suits (suitsim) send frames over loopback UDP to one watcher per suit;\n"
      "Bonesplit picks three joints of the first, a Bonescope per watcher draws the figures.\n"
      "Shows frames/s, received, lost, rejected, latency (simulator sendto to the watcher's\n"
      "recv_pkt output), Bonesplit's coordinates and the render times while it runs, then\n"
      "leaves frames/, contact-sheet.png, animation.gif and summary.json in the output folder."};
  std::string suits = "E46,404";
  std::string size = "480x270";
  app.add_option("--port", options.mPort, "UDP port the suits send to (0: a free one, chosen at run time)")
      ->capture_default_str()
      ->check(CLI::Range(0, 65535).description(""));
  app.add_option("--suits", suits, "Suit IDs of 3 characters, comma separated, one watcher each")
      ->capture_default_str();
  app.add_option("--rate", options.mRate, "Frames per second per suit")->capture_default_str();
  app.add_option("--duration", options.mDuration, "Seconds to run (Ctrl-C ends earlier)")->capture_default_str();
  app.add_option("--size", size, "Bonescope picture size WIDTHxHEIGHT")->capture_default_str();
  app.add_option("--output", options.mOutput, "Folder for the pictures and summary.json (its earlier files go)")
      ->capture_default_str();
  app.add_option("--joints", options.mJoints, "Bonesplit's three joints")->capture_default_str();
  app.add_option("--save-every", options.mSaveEvery, "Save every Nth Bonescope frame as PNG")
      ->capture_default_str();
  bool window = false, noWindow = false;
  app.add_flag("--window", window,
               "Show the Bonescopes' video live in a window (the default when a display is there);\n"
               "closing it ends the run as Ctrl-C does");
  app.add_flag("--no-window", noWindow, "Do not open the window");
  app.add_option("--suitsim", options.mSuitsim, "suitsim program (default: the one built beside this)");
  app.add_option("--plugin-dir", options.mPluginDir, "Folder of the plug-in files (default: the build's)");
  app.add_option("--tick-rate", options.mTickRate, "Host ticks per second (with --soak: 60, as actorhost)")
      ->capture_default_str();
  app.add_flag("--soak", options.mSoak,
               "Soak: no pictures; after the run, memory (resident and the host's ledgers), frames\n"
               "(sent, received, dropped by the kernel) and tick timing, with a verdict in soak.json.\n"
               "Defaults then: --rate 1000, --duration 60, --tick-rate 60");
  bool noTickCheck = false;
  app.add_flag("--no-tick-check", noTickCheck,
               "Soak: show the tick timing without judging it (sanitizer builds, several times slower)");
  app.add_option("--warmup", options.mWarmup, "Soak: seconds before the first sample")->capture_default_str();
  app.add_option("--rss-tolerance", options.mRssToleranceMb,
                 "Soak: MB the resident memory may grow after the warm-up")
      ->capture_default_str();
  app.footer("Exit status: 0 when every stream was healthy, 1 with a message saying what to do\n"
             "otherwise (an error, 2 s without data, frames lost; with --soak also a failed soak\n"
             "check: memory grew, a frame lost beyond the kernel's drops, the host thread held up\n"
             "for a tick), 2 for a bad command line.");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "demo: %s\nRun 'demo --help'.\n", e.what());
    return 2;
  }
  options.mSuits = SplitList(suits);
  options.mWindow = noWindow ? SDemoOptions::EWindow::kOff
                  : window   ? SDemoOptions::EWindow::kOn
                             : SDemoOptions::EWindow::kAuto;
  if (options.mSoak && app.count("--rate") == 0) options.mRate = 1000.0;
  if (options.mSoak && app.count("--duration") == 0) options.mDuration = 60.0;
  // A render request holds the host thread for milliseconds (the software
  // rasteriser draws both figures): the soak ticks at a host's usual rate, so
  // that "held up for a tick" means what it would mean in a real host.
  if (options.mSoak && app.count("--tick-rate") == 0) options.mTickRate = 60.0;
  options.mJudgeTicks = !noTickCheck;
  int width = 0;
  int height = 0;
  char extra = 0;
  if (std::sscanf(size.c_str(), "%dx%d%c", &width, &height, &extra) != 2 || width < 16 || height < 16 ||
      width > 4096 || height > 4096) {
    std::fprintf(stderr, "demo: --size must be WIDTHxHEIGHT, each 16 to 4096, not '%s'\n", size.c_str());
    return 2;
  }
  options.mWidth = width;
  options.mHeight = height;
  for (const std::string& suit : options.mSuits) {
    if (suit.size() != 3) {
      std::fprintf(stderr, "demo: suit ID '%s' must have exactly 3 characters\n", suit.c_str());
      return 2;
    }
  }
  if (options.mSuits.empty() || !(options.mRate > 0) || !(options.mDuration > 0) || options.mSaveEvery < 1) {
    std::fprintf(stderr, "demo: --suits needs at least one ID; --rate, --duration and --save-every must be above 0\n");
    return 2;
  }
  if (!(options.mTickRate >= 1 && options.mTickRate <= 10000) || !(options.mWarmup >= 0) ||
      !(options.mRssToleranceMb >= 0) || (options.mSoak && !(options.mWarmup < options.mDuration))) {
    std::fprintf(stderr, "demo: --tick-rate must be 1 to 10000; --warmup and --rss-tolerance 0 or more, "
                         "--warmup below --duration with --soak\n");
    return 2;
  }
  return RunDemo(options);
}
