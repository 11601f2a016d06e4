#include "host/thread_description.h"

#include <fmt/format.h>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <sys/syscall.h>
#include <unistd.h>
#else
#include <functional>
#include <thread>
#endif

namespace vhost {

std::string DescribeCurrentThread() {
#if defined(_WIN32)
  return fmt::format("thread {}", static_cast<unsigned long>(::GetCurrentThreadId()));
#elif defined(__linux__)
  return fmt::format("thread {}", static_cast<long>(::syscall(SYS_gettid)));
#else
  return fmt::format("thread {:x}", std::hash<std::thread::id>{}(std::this_thread::get_id()));
#endif
}

}  // namespace vhost
