// libFuzzer target: the input is a sequence of host calls (format in
// host_call_sequence.h) run against one plug-in, named at build time by
// VORL_FUZZ_PLUGIN (its file name without suffix). Any finding of the
// sequence aborts, so libFuzzer keeps the input.
//
// The plug-in is loaded once and serves every input: its coverage counters
// live in the file, which libFuzzer registered when it was loaded, so it is
// never unloaded under libFuzzer's feet. Each input still starts from no
// instance and a new host, and ends with every instance disposed and the
// host's ledgers checked. Bonescope's image buffers come from one headless
// GL context made at the first input.
//
// VORL_PLUGIN_DIR in the environment replaces the build's plug-in folder;
// VORL_FUZZ_TRACE=1 prints each step.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz/host_calls/host_call_sequence.h"
#include "host/gl/gl_image_buffer_backend.h"
#include "host/host_error.h"
#include "host/plugin.h"

namespace {

const vhost::CPlugin& Plugin() {
  static const vhost::CPlugin& sPlugin = [] () -> const vhost::CPlugin& {
    const char* dir = std::getenv("VORL_PLUGIN_DIR");
    const std::string path = std::string(dir != nullptr ? dir : VORL_FUZZ_PLUGIN_DIR) + "/" VORL_FUZZ_PLUGIN VORL_FUZZ_PLUGIN_SUFFIX;
    try {
      return vhost::LoadPlugin(path);
    } catch (const vhost::CHostError& e) {
      std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), e.what());
      std::abort();
    }
  }();
  return sPlugin;
}

vhost::CImageBufferBackend* ImageBackend() {
  static std::unique_ptr<vhost::CGLImageBufferBackend> sBackend = [] {
    std::string error;
    auto backend = vhost::CGLImageBufferBackend::Create(&error);
    if (!backend) std::fprintf(stderr, "no headless GL context (%s): placeholder image buffers\n", error.c_str());
    return backend;
  }();
  return sBackend.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vhost::fuzz::CHostCallOptions options;
  options.mImageBackend = ImageBackend();
  const char* trace = std::getenv("VORL_FUZZ_TRACE");
  options.mTrace = trace != nullptr && trace[0] == '1';
  const auto findings = vhost::fuzz::RunHostCallSequence(Plugin(), data, size, options);
  if (!findings.empty()) {
    for (const auto& f : findings) std::fprintf(stderr, "finding: %s\n", f.c_str());
    std::abort();
  }
  return 0;
}
