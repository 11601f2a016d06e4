#include "tools/suitsim/stop_signal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>

namespace {
std::atomic<bool> gStopRequested{false};
// The self-pipe: the handler writes to [1], waits poll [0].
int gWakePipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const int savedErrno = errno;
  gStopRequested.store(true);
  if (gWakePipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(gWakePipe[1], &byte, 1);
  }
  errno = savedErrno;
}

// The longest single poll; a wait of years is made of many.
constexpr std::chrono::hours kLongestPoll{1};
}  // namespace

void InstallStopSignalHandlers() {
  if (gWakePipe[0] < 0 && pipe2(gWakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    gWakePipe[0] = gWakePipe[1] = -1;
  }
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() { return gStopRequested.load(); }

bool WaitUnlessStopped(std::chrono::steady_clock::time_point deadline) {
  using Clock = std::chrono::steady_clock;
  for (;;) {
    if (StopRequested()) return false;
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return true;
    const auto left = std::min<Clock::duration>(deadline - now, kLongestPoll);
    if (gWakePipe[0] < 0) {
      // No pipe (out of descriptors): short sleeps that look at the flag.
      std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(20)));
      continue;
    }
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
    timeout.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
    pollfd wake{gWakePipe[0], POLLIN, 0};
    // EINTR (the handler ran) and a timeout both lead back to the checks.
    ppoll(&wake, 1, &timeout, nullptr);
  }
}
