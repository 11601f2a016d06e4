// Fuzzes the patch parser: any bytes as a patch file, then what a run does
// with a patch before it loads a plug-in (the runner's construction, the
// keyword help, each expect's text).
//
// Checked on every input: a refusal is a CPatchError naming the file, short
// whatever the input's length (messages quote excerpts); an accepted patch
// declares an actor and names only declared actors in its targets.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "host/run/patch.h"
#include "host/run/patch_runner.h"

namespace {

// A message may quote a few excerpts, never the input itself.
constexpr size_t kLongestMessage = 1024;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vhost::CPatch patch;
  try {
    patch = vhost::ParsePatch(text, "fuzz.patch");
  } catch (const vhost::CPatchError& e) {
    const std::string_view what = e.what();
    Check(what.starts_with("fuzz.patch"));
    Check(what.size() <= kLongestMessage);
    return 0;
  }
  Check(!patch.mActors.empty());
  std::set<std::string> names;
  for (const auto& actor : patch.mActors) Check(names.insert(actor.mName).second);
  for (const auto& wire : patch.mWires) {
    Check(names.count(wire.mFrom.mInstance) && names.count(wire.mTo.mInstance));
  }
  for (const auto& target : patch.mPrint) Check(names.count(target.mInstance) == 1);
  for (const auto& expect : patch.mExpects) Check(!expect.Text().empty());
  Check(patch.mTickRate > 0 && patch.mTickRate <= 1e9);
  std::ostringstream out;
  vhost::CPatchRunner runner(std::move(patch), vhost::CRunOptions{}, out);
  Check(runner.Ticks() == 0);
  return 0;
}
