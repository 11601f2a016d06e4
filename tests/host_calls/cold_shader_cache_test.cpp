// Bonescope drawn through Mesa with an empty shader cache: the GL driver then
// starts threads of its own to write the cache, and keeps them. They are not
// the plug-in's: the host-call sequence ends without a finding about threads
// left running. A process of its own, so that the cache folder is set before
// the driver first looks at it.
#include <gtest/gtest.h>
#include <unistd.h>

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
#include "host/thread_registry.h"

namespace {

TEST(ColdShaderCache, TheGlDriversThreadsAreNotCountedAsThePluginsThreads) {
  const std::filesystem::path cache =
      std::filesystem::temp_directory_path() / ("cold_shader_cache_" + std::to_string(::getpid()));
  std::filesystem::remove_all(cache);
  std::filesystem::create_directories(cache);
  ::setenv("MESA_SHADER_CACHE_DIR", cache.c_str(), 1);
  ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  ::unsetenv("MESA_SHADER_CACHE_DISABLE");
  ::unsetenv("MESA_GLSL_CACHE_DISABLE");

  const vhost::CPlugin& plugin = vhost::LoadPlugin(std::string(std::getenv("VORL_PLUGIN_DIR")) +
                                                   "/bonescope" + VORL_PLUGIN_SUFFIX);
  std::string error;
  std::unique_ptr<vhost::CGLImageBufferBackend> gl = vhost::CGLImageBufferBackend::Create(&error);
  ASSERT_TRUE(gl) << error;
  vhost::fuzz::CHostCallOptions options;
  options.mImageBackend = gl.get();
  const std::filesystem::path seed = std::filesystem::path(std::getenv("VORL_SOURCE_DIR")) /
                                     "fuzz/host_calls/corpus-bonescope/normal_path";
  std::ifstream in(seed, std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
  ASSERT_FALSE(bytes.empty()) << seed;

  const auto findings =
      vhost::fuzz::RunHostCallSequence(plugin, bytes.data(), bytes.size(), options);
  EXPECT_TRUE(findings.empty()) << testing::PrintToString(findings);
  EXPECT_EQ(vhost::LiveThreadsCreatedBy(plugin.Path()), 0u);
  gl.reset();
  std::filesystem::remove_all(cache);
}

}  // namespace
