#include "host/thread_description.h"

#include <fmt/format.h>

#include <filesystem>

#include "host/thread_registry.h"

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <sys/syscall.h>
#include <unistd.h>
#else
#include <functional>
#endif

namespace vhost {
namespace {

// Static initialisation runs on the process's first thread.
const std::thread::id gFirstThread = std::this_thread::get_id();

std::string OperatingSystemThreadId() {
#if defined(_WIN32)
  return fmt::format("{}", static_cast<unsigned long>(::GetCurrentThreadId()));
#elif defined(__linux__)
  return fmt::format("{}", static_cast<long>(::syscall(SYS_gettid)));
#else
  return fmt::format("{:x}", std::hash<std::thread::id>{}(std::this_thread::get_id()));
#endif
}

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

std::string DescribeCurrentThread() {
  // No thread compares equal to a default id: the thread is named by its origin.
  return fmt::format("thread {} ({})", OperatingSystemThreadId(),
                     DescribeThread(std::this_thread::get_id(), std::thread::id{}));
}

}  // namespace vhost
