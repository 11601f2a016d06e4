#include "tools/suitsim/replay_command.h"

#include <fmt/core.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <cstring>

#include "tools/suitsim/capture_file.h"
#include "tools/suitsim/progress_line.h"
#include "tools/suitsim/stop_signal.h"
#include "tools/suitsim/udp_endpoint.h"

namespace {
using Clock = std::chrono::steady_clock;

// No replay waits longer than this from its start (about 31 years), so a
// deadline never leaves the clock's range, whatever the capture says.
constexpr double kLongestScheduleSeconds = 1e9;

// The deadline `seconds` after `start`, within the clock's range.
Clock::time_point DueTime(Clock::time_point start, double seconds) {
  const double bounded = std::min(std::max(seconds, 0.0), kLongestScheduleSeconds);
  return start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(bounded));
}
}  // namespace

int RunReplayCommand(const ReplayOptions& options) {
  std::string error;
  const auto to = ParseUdpEndpoint(options.mTo, error);
  if (!to) {
    fmt::print(stderr, "suitsim replay: {}\n", error);
    return 2;
  }
  if (!(options.mSpeed > 0.0)) {
    fmt::print(stderr, "suitsim replay: --speed must be above 0\n");
    return 2;
  }
  if (!(options.mMaxGap >= 0.0)) {
    fmt::print(stderr, "suitsim replay: --max-gap must be a number of 0 or more\n");
    return 2;
  }
  CCaptureReader reader;
  if (!reader.Open(options.mFile)) {
    fmt::print(stderr, "suitsim replay: {}\n", reader.GetError());
    return 1;
  }
  // Without waiting nothing needs the times, so no time stamp is out of range.
  if (options.mFast) reader.AcceptAnyTimeStamp();
  const int fd = OpenSenderSocket(*to, options.mTtl, error);
  if (fd < 0) {
    fmt::print(stderr, "suitsim replay: {}\n", error);
    return 1;
  }

  InstallStopSignalHandlers();
  CProgressLine progress(!options.mQuiet);
  uint64_t sent = 0;
  uint64_t errors = 0;
  uint64_t shortenedGaps = 0;
  int lastError = 0;
  int exitCode = 0;
  const Clock::time_point start = Clock::now();
  CapturedDatagram datagram;
  // The schedule: seconds from `start` at which the current datagram is due,
  // and the latest record time so far (time stamps of a merged file may step
  // back; replay never waits backwards).
  double dueSeconds = 0.0;
  uint64_t latestRecorded = 0;
  uint64_t position = 0;

  while (!StopRequested()) {
    const auto status = reader.Next(datagram, static_cast<uint16_t>(options.mPort));
    if (status == CCaptureReader::Status::kEnd) break;
    if (status != CCaptureReader::Status::kRecord) {
      fmt::print(stderr, "suitsim replay: {}: {}\n", options.mFile, reader.GetError());
      exitCode = status == CCaptureReader::Status::kTruncated ? 0 : 1;
      break;
    }
    ++position;
    if (!options.mFast && datagram.mArrivalNanoseconds > latestRecorded) {
      const uint64_t recordedGap = datagram.mArrivalNanoseconds - latestRecorded;
      latestRecorded = datagram.mArrivalNanoseconds;
      double gap = static_cast<double>(recordedGap) / 1e9 / options.mSpeed;
      if (options.mMaxGap > 0.0 && gap > options.mMaxGap) {
        progress.Finish();
        fmt::print(stderr, "suitsim replay: a gap of {:.3f} s before datagram {} shortened to {:g} s (--max-gap)\n",
                   gap, position, options.mMaxGap);
        gap = options.mMaxGap;
        ++shortenedGaps;
      }
      dueSeconds += gap;
      if (!WaitUnlessStopped(DueTime(start, dueSeconds))) break;
    }
    const int sendError = SendDatagram(fd, *to, datagram.mBytes.data(), datagram.mBytes.size());
    if (sendError != 0) {
      ++errors;
      lastError = sendError;
    } else {
      ++sent;
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    progress.Update(fmt::format("replayed {} datagrams, {:.1f} datagrams/s", sent,
                                elapsed > 0 ? static_cast<double>(sent) / elapsed : 0.0));
  }
  progress.Finish();
  close(fd);
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  fmt::print("replayed {} datagrams from {} to {} in {:.2f} s", sent, options.mFile, to->mText,
             elapsed);
  if (reader.GetSkippedPackets() > 0) {
    fmt::print("; {} packets that were not UDP datagrams skipped", reader.GetSkippedPackets());
  }
  if (reader.GetOtherPortDatagrams() > 0) {
    fmt::print("; {} datagrams to other ports skipped", reader.GetOtherPortDatagrams());
  }
  if (shortenedGaps > 0) fmt::print("; {} gaps longer than {:g} s shortened", shortenedGaps, options.mMaxGap);
  if (StopRequested()) fmt::print("; stopped by a signal");
  if (errors > 0) fmt::print("; {} send errors (last: {})", errors, std::strerror(lastError));
  fmt::print("\n");
  if (errors > 0 && sent == 0) {
    fmt::print(stderr, "suitsim replay: no datagram could be sent to {}\n", to->mText);
    return 1;
  }
  if (sent == 0 && errors == 0 && exitCode == 0 && options.mPort != 0) {
    fmt::print(stderr, "suitsim replay: the capture holds no datagram to port {}\n",
               options.mPort);
    return 1;
  }
  return exitCode;
}
