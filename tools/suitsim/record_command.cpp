#include "tools/suitsim/record_command.h"

#include <arpa/inet.h>
#include <fmt/core.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "tools/suitsim/capture_file.h"
#include "tools/suitsim/progress_line.h"
#include "tools/suitsim/stop_signal.h"
#include "tools/suitsim/udp_endpoint.h"

namespace {
using Clock = std::chrono::steady_clock;
// Wake this often to notice Ctrl-C and the duration limit.
constexpr int kWaitMilliseconds = 100;
constexpr auto kFlushInterval = std::chrono::milliseconds(500);

struct SArrival {
  ssize_t mLength = -1;
  sockaddr_in mFrom{};
  in_addr mTo{};
};

// One datagram with its sender and the local address it was sent to.
SArrival ReceiveOne(int fd, std::vector<uint8_t>& buffer) {
  SArrival arrival;
  iovec part{buffer.data(), buffer.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
  msghdr message{};
  message.msg_name = &arrival.mFrom;
  message.msg_namelen = sizeof(arrival.mFrom);
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof(control);
  arrival.mLength = recvmsg(fd, &message, 0);
  arrival.mTo.s_addr = htonl(INADDR_LOOPBACK);
  if (arrival.mLength < 0) return arrival;
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
      in_pktinfo info;
      std::memcpy(&info, CMSG_DATA(c), sizeof(info));
      arrival.mTo = info.ipi_addr;
    }
  }
  return arrival;
}
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
  const int on = 1;
  setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof(on));
  CPcapCaptureWriter writer;
  if (!writer.Open(options.mFile)) {
    fmt::print(stderr, "suitsim record: {}\n", writer.GetError());
    close(fd);
    return 1;
  }

  InstallStopSignalHandlers();
  const uint16_t port = BoundPort(fd);
  fmt::print("recording on port {}\n", port);
  std::fflush(stdout);

  CProgressLine progress(!options.mQuiet);
  std::vector<uint8_t> buffer(65536);
  uint64_t datagrams = 0;
  uint64_t bytes = 0;
  int exitCode = 0;
  const Clock::time_point start = Clock::now();
  // Wall-clock time of `start`; arrival times are steady offsets from it, so
  // a clock step during the capture does not reorder packets.
  const auto wallStart = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
  Clock::time_point lastFlush = start;

  while (!StopRequested()) {
    if (options.mCount > 0 && datagrams >= static_cast<uint64_t>(options.mCount)) break;
    if (options.mDuration > 0.0 &&
        Clock::now() - start >= std::chrono::duration<double>(options.mDuration)) {
      break;
    }
    pollfd waitFor{fd, POLLIN, 0};
    const int ready = poll(&waitFor, 1, kWaitMilliseconds);
    if (ready > 0) {
      const SArrival arrival = ReceiveOne(fd, buffer);
      const Clock::time_point at = Clock::now();
      if (arrival.mLength < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == ECONNREFUSED) continue;
        fmt::print(stderr, "suitsim record: receive failed: {}\n", std::strerror(errno));
        exitCode = 1;
        break;
      }
      const auto offset = std::chrono::duration_cast<std::chrono::nanoseconds>(at - start).count();
      if (!writer.Write(static_cast<uint64_t>(wallStart + offset), arrival.mFrom.sin_addr.s_addr,
                        ntohs(arrival.mFrom.sin_port), arrival.mTo.s_addr, port, buffer.data(),
                        static_cast<size_t>(arrival.mLength))) {
        fmt::print(stderr, "suitsim record: {}\n", writer.GetError());
        exitCode = 1;
        break;
      }
      ++datagrams;
      bytes += static_cast<uint64_t>(arrival.mLength);
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
