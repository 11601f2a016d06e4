#include "host/thread_description.h"

#include <fmt/format.h>

#include <filesystem>

#include "host/thread_registry.h"

namespace vhost {
namespace {

// Static initialisation runs on the process's first thread.
const std::thread::id gFirstThread = std::this_thread::get_id();

}  // namespace

std::string DescribeThread(std::thread::id thread, std::thread::id hostMainThread) {
  if (thread == hostMainThread) return "the host's main thread";
  const std::optional<CThreadOrigin> origin = OriginOfThread(thread);
  if (!origin) {
    return ThreadOriginsKnown() ? "a thread the host did not see start"
                                : "a thread other than the host's main thread";
  }
  if (origin->mByHost) return "a thread created by the host";
  const std::string file = std::filesystem::path(origin->mModulePath).filename().string();
  return fmt::format("a thread created by {}",
                     file.empty() ? std::string("an unnamed module") : file);
}

std::string DescribeThread(std::thread::id thread) { return DescribeThread(thread, gFirstThread); }

}  // namespace vhost
