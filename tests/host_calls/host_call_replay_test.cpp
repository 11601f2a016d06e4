// Every checked-in input of the host-call fuzz targets runs clean: the seeds
// (the normal path of each plug-in) and each input that once made a finding.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/host_calls/host_call_sequence.h"
#include "host/gl/gl_image_buffer_backend.h"
#include "host/plugin.h"

namespace {

std::string PluginPath(const std::string& stem) {
  return std::string(std::getenv("VORL_PLUGIN_DIR")) + "/" + stem + VORL_PLUGIN_SUFFIX;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What every input of a plug-in's corpus was written to reach: the work the
// plug-in exists for. An input that decodes to nothing, or stops short of
// it, proves nothing by running clean.
bool ReachedItsPath(const std::string& stem, const vhost::fuzz::CHostCallTally& tally,
                    std::string* what) {
  if (stem == "bonesplit") {
    *what = "coordinates sent";
    return tally.mOutputValues > 0;
  }
  if (stem == "bonescope") {
    *what = "frames rendered";
    return tally.mImagesDrawn > 0;
  }
  *what = "skeleton packages published";
  return tally.mSkeletonsPublished > 0;
}

class HostCallReplay : public testing::TestWithParam<const char*> {};

TEST_P(HostCallReplay, EveryCheckedInInputReachesItsPathWithoutFindings) {
  const std::string stem = GetParam();
  const vhost::CPlugin& plugin = vhost::LoadPlugin(PluginPath(stem));
  std::string error;
  std::unique_ptr<vhost::CGLImageBufferBackend> gl;
  if (stem == "bonescope") {
    gl = vhost::CGLImageBufferBackend::Create(&error);
    ASSERT_TRUE(gl) << error;
  }
  vhost::fuzz::CHostCallOptions options;
  options.mImageBackend = gl.get();
  const std::filesystem::path corpus =
      std::filesystem::path(std::getenv("VORL_SOURCE_DIR")) / "fuzz/host_calls" / ("corpus-" + stem);
  size_t inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::vector<uint8_t> bytes = ReadFile(entry.path());
    vhost::fuzz::CHostCallTally tally;
    const auto findings =
        vhost::fuzz::RunHostCallSequence(plugin, bytes.data(), bytes.size(), options, &tally);
    EXPECT_TRUE(findings.empty()) << entry.path().filename() << ": " << testing::PrintToString(findings);
    std::string what;
    EXPECT_TRUE(ReachedItsPath(stem, tally, &what))
        << entry.path().filename() << ": no " << what << " in " << tally.mSteps << " step(s), "
        << tally.mOutputValues << " output value(s), " << tally.mImagesDrawn
        << " frame(s) rendered";
    ++inputs;
  }
  EXPECT_GE(inputs, 2u) << "seeds missing in " << corpus;
}

INSTANTIATE_TEST_SUITE_P(Plugins, HostCallReplay, testing::Values("bonesplit", "bonescope", "kavrin_watcher"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
