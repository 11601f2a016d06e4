#include "tools/suitsim/record_command.h"

#include <fmt/core.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "tools/suitsim/datagram_file.h"
#include "tools/suitsim/progress_line.h"
#include "tools/suitsim/stop_signal.h"
#include "tools/suitsim/udp_endpoint.h"

namespace {
using Clock = std::chrono::steady_clock;
// Wake this often to notice Ctrl-C and the duration limit.
constexpr int kWaitMilliseconds = 100;
constexpr auto kFlushInterval = std::chrono::milliseconds(500);
}  // namespace

int RunRecordCommand(const RecordOptions& options) {
  if (options.mPort < 0 || options.mPort > 65535) {
    fmt::print(stderr, "suitsim record: --port must be 0 to 65535\n");
    return 2;
  }
  std::string error;
  const int fd = OpenReceiverSocket(static_cast<uint16_t>(options.mPort), options.mGroup, error);
  if (fd < 0) {
    fmt::print(stderr, "suitsim record: {}\n", error);
    return 1;
  }
  CDatagramFileWriter writer;
  if (!writer.Open(options.mFile)) {
    fmt::print(stderr, "suitsim record: {}\n", writer.GetError());
    close(fd);
    return 1;
  }

  InstallStopSignalHandlers();
  fmt::print("recording on port {}\n", BoundPort(fd));
  std::fflush(stdout);

  CProgressLine progress(!options.mQuiet);
  std::vector<uint8_t> buffer(65536);
  uint64_t datagrams = 0;
  uint64_t bytes = 0;
  int exitCode = 0;
  const Clock::time_point start = Clock::now();
  Clock::time_point lastFlush = start;

  while (!StopRequested()) {
    if (options.mCount != 0 && datagrams >= options.mCount) break;
    if (options.mDuration > 0.0 &&
        Clock::now() - start >= std::chrono::duration<double>(options.mDuration)) {
      break;
    }
    pollfd waitFor{fd, POLLIN, 0};
    const int ready = poll(&waitFor, 1, kWaitMilliseconds);
    if (ready > 0) {
      const ssize_t received = recv(fd, buffer.data(), buffer.size(), 0);
      const Clock::time_point arrival = Clock::now();
      if (received < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == ECONNREFUSED) continue;
        fmt::print(stderr, "suitsim record: receive failed: {}\n", std::strerror(errno));
        exitCode = 1;
        break;
      }
      const auto nanoseconds =
          std::chrono::duration_cast<std::chrono::nanoseconds>(arrival - start).count();
      if (!writer.Write(static_cast<uint64_t>(nanoseconds), buffer.data(),
                        static_cast<size_t>(received))) {
        fmt::print(stderr, "suitsim record: {}\n", writer.GetError());
        exitCode = 1;
        break;
      }
      ++datagrams;
      bytes += static_cast<uint64_t>(received);
    }
    const Clock::time_point now = Clock::now();
    if (now - lastFlush >= kFlushInterval) {
      writer.Flush();
      lastFlush = now;
    }
    const double elapsed = std::chrono::duration<double>(now - start).count();
    progress.Update(fmt::format("recorded {} datagrams, {:.1f} datagrams/s", datagrams,
                                elapsed > 0 ? static_cast<double>(datagrams) / elapsed : 0.0));
  }
  progress.Finish();
  close(fd);
  if (!writer.Close() && exitCode == 0) {
    fmt::print(stderr, "suitsim record: {}\n", writer.GetError());
    exitCode = 1;
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  fmt::print("recorded {} datagrams ({} bytes) in {:.2f} s to {}\n", datagrams, bytes, elapsed,
             options.mFile);
  return exitCode;
}
