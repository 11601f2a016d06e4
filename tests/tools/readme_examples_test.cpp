// Every `sh` example of README.md runs as written and succeeds. Each block
// runs in a scratch folder that has `build` (this build) and
// `tools/patches/` beside it, with a free port in place of the default 14043
// (in the block and in the patches), so runs at the same time never collide.
// Blocks that capture with `tcpdump -i` are skipped without capture rights.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/suit_receiver/child_process.h"
#include "tests/suit_receiver/udp_test_support.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

std::vector<std::string> ShellBlocks(const std::string& markdown) {
  std::vector<std::string> blocks;
  std::istringstream in(markdown);
  std::string line;
  std::string block;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!inside && line == "```sh") {
      inside = true;
      block.clear();
    } else if (inside && line == "```") {
      inside = false;
      blocks.push_back(block);
    } else if (inside) {
      block += line + "\n";
    }
  }
  return blocks;
}

bool CanCapture() { return geteuid() == 0 && access("/usr/bin/tcpdump", X_OK) == 0; }

TEST(Readme, EveryShellExampleRunsAsWritten) {
  const fs::path source = std::getenv("VORL_SOURCE_DIR");
  const std::vector<std::string> blocks = ShellBlocks(ReadText(source / "README.md"));
  ASSERT_GE(blocks.size(), 5u) << "README.md lost its examples";
  for (size_t i = 0; i < blocks.size(); ++i) {
    if (blocks[i].find("tcpdump -i") != std::string::npos && !CanCapture()) continue;
    const std::string port = std::to_string(FindFreeUdpPort());
    const fs::path scratch = fs::temp_directory_path() / ("readme-" + std::to_string(getpid()) + "-" + std::to_string(i));
    fs::remove_all(scratch);
    fs::create_directories(scratch / "tools" / "patches");
    fs::create_directory_symlink(VORL_BUILD_DIR, scratch / "build");
    for (const auto& entry : fs::directory_iterator(source / "tools" / "patches")) {
      if (entry.path().extension() != ".patch") continue;
      std::ofstream(scratch / "tools" / "patches" / entry.path().filename())
          << Replace(ReadText(entry.path()), "14043", port);
    }
    const std::string script = Replace(blocks[i], "14043", port);
    // A session of its own, so that whatever the block leaves running in the
    // background ends with it.
    CChildProcess shell({"/usr/bin/setsid", "/bin/bash", "-c",
                         "exec 2>&1; trap 'kill $(jobs -p) 2>/dev/null || true' EXIT; cd '" + scratch.string() +
                             "' && set -eo pipefail\n" + script});
    std::string output;
    while (auto line = shell.ReadLine(120s)) output += *line + "\n";
    EXPECT_EQ(0, shell.Wait(60s)) << "README example " << i + 1 << ":\n" << script << "\nprinted:\n" << output;
    fs::remove_all(scratch);
  }
}

}  // namespace
